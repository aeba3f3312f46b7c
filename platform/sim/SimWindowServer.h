#pragma once
// The on-screen window list, front to back: the overlay's own shown mask windows
// first (at the shielding level, owned by this process), then the windows a test
// lays out.

#include "platform/ports/WindowList.h"

#include <vector>

namespace dimwell {

class Bundle;
class SimDisplays;
class SimWindowFactory;

class SimWindowServer : public WindowServer {
public:
    static constexpr std::int32_t kOwnPid = 4242;

    SimWindowServer(const SimWindowFactory& factory, const SimDisplays& displays, const Bundle& bundle);

    std::vector<WindowInfo> onScreenWindows() const override;
    bool isOwnWindow(const WindowInfo& window) const override { return window.ownerPid == kOwnPid; }

    /// Other programs' windows, front to back (top-left space bounds).
    std::vector<WindowInfo>& windows() { return windows_; }
    void setWindows(std::vector<WindowInfo> list) { windows_ = std::move(list); }
    /// Puts a window in front of the others; its number is given if it has none.
    WindowInfo& addFront(WindowInfo info);
    WindowInfo& addBack(WindowInfo info);
    void remove(std::uint32_t windowNumber);
    /// How often the list was read.
    int reads() const { return reads_; }

private:
    const SimWindowFactory& factory_;
    const SimDisplays& displays_;
    const Bundle& bundle_;
    std::vector<WindowInfo> windows_;
    std::uint32_t nextNumber_ = 100;
    mutable int reads_ = 0;
};

} // namespace dimwell
