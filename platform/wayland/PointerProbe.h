#pragma once
// Where the pointer is when no mask is there to see it: Wayland tells a client
// the pointer's position only over its own surfaces. For a moment every output
// gets a clear, input-taking overlay surface; the compositor enters the one under
// the pointer at once, with the position, and the surfaces go again.

#include "common/Log.h"
#include "platform/wayland/ShmBuffer.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct wl_surface;
struct zwlr_layer_surface_v1;

namespace dimwell::wayland {

class WaylandConnection;

class PointerProbe {
public:
    explicit PointerProbe(WaylandConnection& connection);
    ~PointerProbe();
    PointerProbe(const PointerProbe&) = delete;
    PointerProbe& operator=(const PointerProbe&) = delete;

    /// Shows the surfaces until the compositor has placed them (the pointer's
    /// enter event is dispatched meanwhile), then takes them away.
    void run();
    /// The output (global name) a probe surface covers; nothing for other surfaces.
    std::optional<std::uint32_t> outputOf(const wl_surface* surface) const;

private:
    struct Listeners;
    struct Cover {
        PointerProbe* probe = nullptr;
        std::uint32_t output = 0;
        wl_surface* surface = nullptr;
        zwlr_layer_surface_v1* layer = nullptr;
        std::unique_ptr<ShmBuffer> buffer;
    };
    void configure(Cover& cover, std::uint32_t serial, std::uint32_t width, std::uint32_t height);
    void clear();

    WaylandConnection& connection_;
    std::vector<std::unique_ptr<Cover>> covers_;
};

} // namespace dimwell::wayland
