#pragma once
// Event taps on Wayland. A client sees input only over its own surfaces, so the
// taps are fed by the masks' pointer and keyboard:
// - moves, presses, drags and releases of the left button over a mask, in layout
//   points (the surface-local position plus its output's place in the layout); a
//   drag that leaves the pressed mask's output keeps coming to that mask, with
//   positions past its edge;
// - Escape, while selection mode gives the masks the keyboard.
// Nobody else sees what reaches a mask, so Pass and Swallow end the same way: a
// press on the veil is the overlay's alone, a press in the hole never reaches us
// (the input region leaves the hole out).
// Capturing the pointer is selection mode's input region (the whole output on
// every mask); while a tap wants presses the masks take clicks on the veil
// (their input region is the output minus the hole). The cursor is hidden by
// giving the pointer no image over the masks. The pointer's position is where it
// was last seen over a mask, or, when no mask takes it now, where a PointerProbe
// finds it.

#include "common/Log.h"
#include "platform/ports/EventTaps.h"
#include "platform/ports/TapSet.h"
#include "platform/wayland/MaskRoster.h"
#include "platform/wayland/PointerProbe.h"
#include "platform/wayland/PointerSightings.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

struct wl_cursor_theme;
struct wl_keyboard;
struct wl_pointer;
struct wl_registry;
struct wl_seat;
struct wl_surface;

namespace dimwell::wayland {

class WaylandConnection;

class WaylandInputService final : public InputService {
public:
    /// `mainScreenHeight` turns layout points into Cocoa space; `sightings`, when
    /// given, hears of every pointer position seen.
    WaylandInputService(WaylandConnection& connection, MaskRoster& masks, std::function<double()> mainScreenHeight,
                        PointerSightings* sightings);
    ~WaylandInputService() override;
    WaylandInputService(const WaylandInputService&) = delete;
    WaylandInputService& operator=(const WaylandInputService&) = delete;

    std::unique_ptr<EventTap> createTap(std::uint64_t eventMask, TapCallback callback) override;
    /// Wayland lets no client move the pointer or speak for it: nothing happens.
    void postMouseMoved(Point) override {}
    Point mouseLocation() const override;
    bool isCursorVisible() const override { return !cursorHidden_; }
    void allowBackgroundCursorHiding() override {}
    void hideCursor() override;
    void showCursor() override;
    void capturePointer() override { masks_.setSelecting(true); }
    void releasePointer() override { masks_.setSelecting(false); }

private:
    struct Listeners;

    void seatGlobal(wl_registry* registry, std::uint32_t name, std::uint32_t version);
    void seatRemoved(std::uint32_t name);
    void capabilities(std::uint32_t caps);
    void pointerEntered(std::uint32_t serial, wl_surface* surface, double x, double y);
    void pointerLeft(wl_surface* surface);
    void pointerMoved(double x, double y);
    void buttonChanged(std::uint32_t button, std::uint32_t state);
    void keyChanged(std::uint32_t key, std::uint32_t state);
    void releaseDevices();
    /// Click-out: the masks take clicks while a tap wants presses.
    void tapsChanged();

    /// `surface`-local points of the entered mask, in layout points; nothing over
    /// a surface that is no mask's.
    std::optional<Point> inLayout(double x, double y) const;
    void seen(EventType type, Point location);
    void applyCursor();

    WaylandConnection& connection_;
    MaskRoster& masks_;
    std::function<double()> mainScreenHeight_;
    PointerSightings* sightings_;
    Logger log_;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    std::uint32_t seatName_ = 0;
    std::unique_ptr<PointerProbe> probe_;
    wl_pointer* pointer_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    wl_cursor_theme* cursorTheme_ = nullptr;
    wl_surface* cursorSurface_ = nullptr;
    bool cursorThemeTried_ = false;

    TapSet taps_;
    wl_surface* entered_ = nullptr;   ///< the surface under the pointer
    std::uint32_t enterSerial_ = 0;
    bool leftHeld_ = false;
    bool cursorHidden_ = false;
    Point location_;                  ///< top-left space, last seen
};

} // namespace dimwell::wayland
