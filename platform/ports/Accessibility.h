#pragma once
// Other programs' windows and views as the accessibility interface shows them,
// bringing a program to the front, and observing one window's moves.

#include "common/Geometry.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dimwell {

/// One element of another program's interface; shared like a retained reference.
class AXElement {
public:
    virtual ~AXElement() = default;
};
using AXElementRef = std::shared_ptr<const AXElement>;

inline constexpr const char* kAXWindowMovedNotification = "AXWindowMoved";
inline constexpr const char* kAXWindowResizedNotification = "AXWindowResized";

class AXObserver {
public:
    virtual ~AXObserver() = default;
    virtual bool addNotification(const AXElementRef& element, const std::string& notification) = 0;
    virtual bool removeNotification(const AXElementRef& element, const std::string& notification) = 0;
};

class AccessibilityApi {
public:
    using ObserverCallback = std::function<void(const AXElementRef& element, const std::string& notification)>;

    virtual ~AccessibilityApi() = default;
    virtual AXElementRef application(std::int32_t pid) = 0;
    /// "AXWindows" in the application's order; nothing when unreadable.
    virtual std::optional<std::vector<AXElementRef>> windows(const AXElementRef& application) = 0;
    /// "AXMainWindow"; nothing when the read fails.
    virtual AXElementRef mainWindow(const AXElementRef& application) = 0;
    /// "AXPosition" (top-left space) and "AXSize"; nothing when unreadable.
    virtual std::optional<Point> position(const AXElementRef& element) = 0;
    virtual std::optional<Size> size(const AXElementRef& element) = 0;
    /// "AXChildren"; nothing when unreadable.
    virtual std::optional<std::vector<AXElementRef>> children(const AXElementRef& element) = 0;
    /// Sets "AXMain".
    virtual bool setMain(const AXElementRef& window) = 0;
    /// Brings the process to the front with only its front window raised.
    virtual void bringProcessToFront(std::int32_t pid) = 0;
    /// An observer of one process; callbacks arrive on the main thread.
    virtual std::unique_ptr<AXObserver> createObserver(std::int32_t pid, ObserverCallback callback) = 0;
    /// Whether the service that children and views are read from can be reached;
    /// without it every window reads as having no children.
    virtual bool viewsReadable() const = 0;
};

} // namespace dimwell
