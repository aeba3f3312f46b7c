#pragma once
// The window list on sway: every shown window, front to back, from the layout
// tree; bringing one to the front by focusing it. The window number is sway's
// container id.

#include "platform/ports/WindowList.h"
#include "platform/wayland/PointerSightings.h"
#include "platform/wayland/sway/SwayIpc.h"
#include "platform/wayland/sway/SwayTree.h"

#include <memory>

namespace dimwell::wayland {

class SwayWindowServer final : public WindowServer, public PointerSightings {
public:
    explicit SwayWindowServer(std::shared_ptr<SwayIpc> ipc);
    /// Its own connection to the sway that `socketPath` (else the environment) names.
    explicit SwayWindowServer(LogSink& log, std::string socketPath = {});

    bool available() const { return ipc_->available(); }
    std::vector<WindowInfo> onScreenWindows() const override;
    bool isOwnWindow(const WindowInfo& window) const override;

    /// The tree as it is now; nothing when sway cannot be asked.
    std::optional<SwayTree> tree() const;
    /// The process of the window with sway's focus, bounded by the IPC's timeout.
    /// Dimwell's own windows never count: with one of them focused, the front
    /// window of another program stands in. 0 when no window has the focus.
    std::int32_t activeProcess() const;
    /// Focuses (and so raises) window `windowNumber`; false when sway refused.
    bool bringToFront(std::uint32_t windowNumber) const;

    /// Where the pointer is in layout points, top-left space. sway's IPC does not
    /// tell, so this is what the masks' own pointer events last reported; nothing
    /// until they report one (callers fall back to their own idea of it).
    std::optional<Point> pointerLocation() const { return pointer_; }
    void pointerSeenAt(Point location) override { pointer_ = location; }

    const std::shared_ptr<SwayIpc>& ipc() const { return ipc_; }

private:
    std::shared_ptr<SwayIpc> ipc_;
    std::optional<Point> pointer_;
};

} // namespace dimwell::wayland
