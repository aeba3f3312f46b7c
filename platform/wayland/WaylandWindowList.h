#pragma once
// The window list on Wayland: the masks that are up, frontmost, as this
// program's windows at the shielding level (layer surfaces are in no
// compositor's window list), then the other programs' windows when the
// compositor tells them (sway), else none.

#include "platform/ports/WindowList.h"
#include "platform/wayland/MaskRoster.h"

namespace dimwell::wayland {

class WaylandConnection;

class WaylandWindowList final : public WindowServer {
public:
    /// `others`: the compositor's list of other programs' windows; null when it has none.
    WaylandWindowList(const WaylandConnection& connection, const MaskRoster& masks, const WindowServer* others);

    std::vector<WindowInfo> onScreenWindows() const override;
    bool isOwnWindow(const WindowInfo& window) const override;

private:
    const WaylandConnection& connection_;
    const MaskRoster& masks_;
    const WindowServer* others_;
};

} // namespace dimwell::wayland
