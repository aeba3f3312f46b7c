#pragma once
// The on-screen windows of every program, front to back.

#include "common/Geometry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dimwell {

/// Layers: ordinary windows 0, kept-above 3; the band -9..9 holds what a user
/// would call an application window.
struct WindowInfo {
    std::int32_t ownerPid = 0;
    Rect bounds;                          ///< top-left space, as the user sees the window
    std::int32_t layer = 0;
    std::optional<std::string> ownerName;
    std::uint32_t windowNumber = 0;
};

class WindowServer {
public:
    virtual ~WindowServer() = default;
    virtual std::vector<WindowInfo> onScreenWindows() const = 0;
    /// The window belongs to this very process, whatever name it runs under.
    virtual bool isOwnWindow(const WindowInfo& window) const = 0;
};

/// The layer of the overlay's own windows, far above the band.
constexpr std::int32_t kShieldingWindowLevel = 2147483628;

} // namespace dimwell
