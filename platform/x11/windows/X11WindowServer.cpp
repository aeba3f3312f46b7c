#include "platform/x11/windows/X11WindowServer.h"

#include "platform/linux/ScreenSpace.h"
#include "platform/x11/windows/WindowStack.h"

#include <unistd.h>

namespace dimwell::x11 {

X11WindowServer::X11WindowServer(std::shared_ptr<const WindowStack> stack) : stack_(std::move(stack)) {}

std::vector<WindowInfo> X11WindowServer::onScreenWindows() const {
    if (!stack_) {
        return {};
    }
    const ScreenSpace space = ScreenSpace::current();
    std::vector<WindowInfo> list;
    for (const StackedWindow& w : stack_->frontToBack()) {
        WindowInfo info;
        info.ownerPid = w.pid;
        info.bounds = space.rootToTopLeft(w.bounds);
        info.layer = w.layer;
        info.ownerName = w.ownerName;
        info.windowNumber = w.client;
        list.push_back(std::move(info));
    }
    return list;
}

bool X11WindowServer::isOwnWindow(const WindowInfo& window) const {
    // By process, not by name: the program may run renamed or through a link.
    return window.ownerPid > 0 && window.ownerPid == static_cast<std::int32_t>(::getpid());
}

} // namespace dimwell::x11
