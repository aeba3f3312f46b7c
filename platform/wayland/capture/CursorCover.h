#pragma once
// The pointer's image kept out of a screen copy: where an output has no cursor
// plane (sway on a headless or nested output, many virtual machines) the
// compositor draws the cursor into the very picture a copy reads, right where
// pattern mode starts looking. For as long as a cover lives, a clear overlay
// surface on the output takes the pointer and shows no cursor over it; being
// clear, it adds nothing to the copy. By the time the constructor returns, the
// compositor has drawn a frame with the cover in place.

#include "platform/wayland/capture/PrivateQueue.h"

#include <memory>

struct wl_callback;
struct wl_pointer;
struct wl_surface;
struct zwlr_layer_surface_v1;

namespace dimwell::wayland {

class ShmBuffer;
class WaylandConnection;
class WaylandOutput;

class CursorCover {
public:
    CursorCover(WaylandConnection& connection, const PrivateQueue& queue, const WaylandOutput& output,
                PrivateQueue::Clock::time_point deadline);
    ~CursorCover();
    CursorCover(const CursorCover&) = delete;
    CursorCover& operator=(const CursorCover&) = delete;

private:
    struct Listeners;
    void commitAndWaitForFrame(PrivateQueue::Clock::time_point deadline);

    WaylandConnection& connection_;
    const PrivateQueue& queue_;
    wl_pointer* pointer_ = nullptr;
    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layer_ = nullptr;
    wl_callback* frame_ = nullptr;   ///< a frame asked for and not drawn yet
    std::unique_ptr<ShmBuffer> buffer_;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    bool configured_ = false;
    bool entered_ = false;
};

} // namespace dimwell::wayland
