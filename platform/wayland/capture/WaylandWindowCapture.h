#pragma once
// One window's pixels on a wlroots compositor, as pattern mode reads them: the
// window's rectangle on the output that shows most of it, copied with
// wlr-screencopy into shared memory and turned gray, bottom row first.
//
// A screencopy is the output as composed, veil and cursor included. Masks that
// are up on that output are taken down for the copy and put back after, and a
// clear cover hides the cursor; the copy is asked for once the compositor has
// drawn a frame without them. Everything waits on an event queue of its own for
// a bounded time: a compositor that never answers delays pattern mode by that
// much, and the whole window is the hole.

#include "platform/ports/WindowCapture.h"
#include "platform/ports/WindowList.h"
#include "platform/wayland/capture/PrivateQueue.h"

#include <chrono>
#include <cstdint>
#include <memory>

struct zwlr_screencopy_manager_v1;

namespace dimwell::wayland {

class MaskRoster;
class WaylandConnection;

class WaylandWindowCapture final : public WindowCapture {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{1000};

    /// Nothing when the compositor offers no screencopy. `windows` tells where a
    /// window number is.
    static std::unique_ptr<WaylandWindowCapture> create(WaylandConnection& connection, MaskRoster& masks,
                                                        const WindowServer& windows,
                                                        std::chrono::milliseconds timeout = kDefaultTimeout);
    ~WaylandWindowCapture() override;
    WaylandWindowCapture(const WaylandWindowCapture&) = delete;
    WaylandWindowCapture& operator=(const WaylandWindowCapture&) = delete;

    std::optional<CapturedWindow> captureGray(std::uint32_t windowNumber) override;

private:
    struct Frame;
    WaylandWindowCapture(WaylandConnection& connection, MaskRoster& masks, const WindowServer& windows,
                         std::chrono::milliseconds timeout);

    WaylandConnection& connection_;
    MaskRoster& masks_;
    const WindowServer& windows_;
    std::chrono::milliseconds timeout_;
    PrivateQueue queue_;
    zwlr_screencopy_manager_v1* manager_ = nullptr;
    std::uint32_t version_ = 0;
    bool toldFormat_ = false;
};

} // namespace dimwell::wayland
