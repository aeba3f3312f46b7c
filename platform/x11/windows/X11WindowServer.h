#pragma once
// The window list of the real desktop: every viewable top-level window, front
// first, in top-left space.

#include "platform/ports/WindowList.h"

#include <memory>

namespace dimwell::x11 {

class WindowStack;

class X11WindowServer final : public WindowServer {
public:
    explicit X11WindowServer(std::shared_ptr<const WindowStack> stack);
    std::vector<WindowInfo> onScreenWindows() const override;
    bool isOwnWindow(const WindowInfo& window) const override;

private:
    std::shared_ptr<const WindowStack> stack_;
};

} // namespace dimwell::x11
