#pragma once
// The mask windows on Wayland: one layer-shell surface per output, in the
// overlay layer above everything, anchored to all four edges, painted by the
// mask view into two shared-memory buffers.
//
// How the window operations map to Wayland:
// - order front / out: the layer surface is made / destroyed (the buffers stay);
// - shielding level and collection behaviour: nothing to do; the overlay layer
//   is above every window and shows on every workspace;
// - ignores mouse events: an empty input region; taking clicks: the whole output
//   minus the hole (clicks in the hole reach the window below); selecting: the
//   whole output, and the keyboard too;
// - painting: marks ask the compositor for a frame callback, and the picture is
//   drawn when the frame is due, once for all marks since the last one; only
//   where the picture changed is repainted and declared as damage.

#include "common/Log.h"
#include "platform/ports/MaskSurface.h"
#include "mask/MaskPicture.h"
#include "platform/wayland/ShmBuffer.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct wl_callback;
struct wl_surface;
struct zwlr_layer_surface_v1;

namespace dimwell::wayland {

class WaylandConnection;

class WaylandMaskSurface : public MaskSurface {
public:
    /// `frame`: Cocoa space, the area of the output with global name `output`.
    WaylandMaskSurface(WaylandConnection& connection, std::uint32_t output, const Rect& frame,
                       SurfacePainter& painter);
    ~WaylandMaskSurface() override;
    WaylandMaskSurface(const WaylandMaskSurface&) = delete;
    WaylandMaskSurface& operator=(const WaylandMaskSurface&) = delete;

    void orderFront() override;
    void orderOut() override;
    void close() override;
    bool isVisible() const override { return wanted_; }
    void setShieldingLevel() override {}
    void setIgnoresMouseEvents(bool ignores) override;
    void setCollectionBehavior(CollectionBehavior) override {}
    Rect frame() const override { return frame_; }
    void display() override;
    void setNeedsDisplay() override;

    /// Selection mode: the mask takes every click and the keyboard.
    void setSelecting(bool selecting);
    std::uint32_t output() const { return output_; }
    /// The surface while the mask is shown; input events name it.
    wl_surface* surface() const { return surface_; }
    /// Pictures committed so far; tests wait for the first.
    int commits() const { return commits_; }

private:
    struct Listeners;
    void map();
    void unmap();
    void configure(std::uint32_t serial, std::uint32_t width, std::uint32_t height);
    void requestFrame();
    void frameDone();
    void paint();
    ShmBuffer* freeBuffer(int width, int height);
    void applyInputRegion(const Picture& picture);

    WaylandConnection& connection_;
    Logger log_;
    std::uint32_t output_;
    Rect frame_;
    SurfacePainter* painter_;
    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layer_ = nullptr;
    wl_callback* frameCallback_ = nullptr;
    std::array<std::unique_ptr<ShmBuffer>, 2> buffers_;
    Picture shown_;          ///< the picture of the last commit
    bool shownValid_ = false;
    int width_ = 0;          ///< surface size in points, from the last configure
    int height_ = 0;
    int scale_ = 1;          ///< buffer scale of the last commit
    int inputMode_ = -1;                           ///< what the input region was last set for
    std::optional<std::vector<Rect>> inputHoles_;  ///< and the hole it was cut for
    bool wanted_ = false;
    bool configured_ = false;
    bool dirty_ = true;
    bool ignoresMouse_ = true;
    bool selecting_ = false;
    bool closed_ = false;
    int commits_ = 0;
};

} // namespace dimwell::wayland
