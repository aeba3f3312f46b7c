#include "platform/wayland/WaylandWindowList.h"

#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandMaskSurface.h"

#include <unistd.h>

namespace dimwell::wayland {

WaylandWindowList::WaylandWindowList(const WaylandConnection& connection, const MaskRoster& masks,
                                     const WindowServer* others)
    : connection_(connection), masks_(masks), others_(others) {}

std::vector<WindowInfo> WaylandWindowList::onScreenWindows() const {
    std::vector<WindowInfo> list;
    for (const WaylandMaskSurface* mask : masks_.masks()) {
        const WaylandOutput* output = connection_.output(mask->output());
        if (!mask->isVisible() || !output) {
            continue;
        }
        WindowInfo info;
        info.ownerPid = static_cast<std::int32_t>(::getpid());
        info.bounds = output->logical();
        info.layer = kShieldingWindowLevel;
        list.push_back(std::move(info));
    }
    if (others_) {
        std::vector<WindowInfo> rest = others_->onScreenWindows();
        list.insert(list.end(), std::make_move_iterator(rest.begin()), std::make_move_iterator(rest.end()));
    }
    return list;
}

bool WaylandWindowList::isOwnWindow(const WindowInfo& window) const {
    return (window.ownerPid > 0 && window.ownerPid == static_cast<std::int32_t>(::getpid())) ||
           (others_ && others_->isOwnWindow(window));
}

} // namespace dimwell::wayland
