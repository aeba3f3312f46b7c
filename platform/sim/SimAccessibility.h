#pragma once
// Other programs' accessibility trees as a test lays them out: applications by
// process id with ordered windows, a main window, positions and sizes (each may be
// unreadable), children, and observers that a test can fire.

#include "platform/ports/Accessibility.h"

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace dimwell {

class SimAXElement : public AXElement {
public:
    SimAXElement(std::int32_t ownerPid, std::string elementRole) : pid(ownerPid), role(std::move(elementRole)) {}

    std::int32_t pid;
    std::string role;
    std::optional<Point> position;   ///< top-left space; nothing: unreadable
    std::optional<Size> size;
    std::optional<std::vector<AXElementRef>> children = std::vector<AXElementRef>{};   ///< nothing: unreadable

    void setFrame(const Rect& r) { position = Point{r.x, r.y}; size = Size{r.width, r.height}; }
};
using SimElement = std::shared_ptr<SimAXElement>;

struct SimObserverState {
    std::int32_t pid = 0;
    AccessibilityApi::ObserverCallback callback;
    std::vector<std::pair<AXElementRef, std::string>> registered;
    bool alive = true;
};

class SimAccessibility : public AccessibilityApi {
public:
    AXElementRef application(std::int32_t pid) override;
    std::optional<std::vector<AXElementRef>> windows(const AXElementRef& application) override;
    AXElementRef mainWindow(const AXElementRef& application) override;
    std::optional<Point> position(const AXElementRef& element) override;
    std::optional<Size> size(const AXElementRef& element) override;
    std::optional<std::vector<AXElementRef>> children(const AXElementRef& element) override;
    bool setMain(const AXElementRef& window) override;
    void bringProcessToFront(std::int32_t pid) override { broughtToFront_.push_back(pid); }
    std::unique_ptr<AXObserver> createObserver(std::int32_t pid, ObserverCallback callback) override;
    bool viewsReadable() const override { return viewsReadable_; }
    void setViewsReadable(bool on) { viewsReadable_ = on; }

    /// Appends a window (top-left space) to the application's "AXWindows".
    SimElement addWindow(std::int32_t pid, const Rect& frame);
    /// Appends a child (top-left space) to `parent`'s "AXChildren".
    SimElement addChild(const SimElement& parent, const Rect& frame);
    /// The application's "AXMainWindow"; null makes the read fail.
    void setMainWindow(std::int32_t pid, SimElement window);
    void setWindowsUnreadable(std::int32_t pid);

    /// Moves or resizes `window` and tells the observers registered on it.
    void moveWindow(const SimElement& window, const Rect& frame);
    void resizeWindow(const SimElement& window, const Rect& frame);
    /// Delivers "AXWindowMoved" for `element` to every observer registered for it.
    void moved(const AXElementRef& element) { notify(element, kAXWindowMovedNotification); }
    void resized(const AXElementRef& element) { notify(element, kAXWindowResizedNotification); }
    /// Registering notifications fails from now on (the window went away).
    void failRegistrations(bool fail) { failRegistrations_ = fail; }

    const std::vector<AXElementRef>& madeMain() const { return madeMain_; }
    const std::vector<std::int32_t>& broughtToFront() const { return broughtToFront_; }
    int observersCreated() const { return static_cast<int>(observers_.size()); }
    int observersAlive() const;
    /// (element, notification) registered on live observers now.
    std::vector<std::pair<AXElementRef, std::string>> registrations() const;
    /// How often an application's "AXWindows" were read.
    int windowsReads() const { return windowsReads_; }

private:
    bool viewsReadable_ = true;
    struct App {
        SimElement element;
        std::vector<AXElementRef> windows;
        bool windowsReadable = true;
        SimElement main;
    };
    App& app(std::int32_t pid);
    void notify(const AXElementRef& element, const std::string& notification);

    std::map<std::int32_t, App> apps_;
    std::vector<std::shared_ptr<SimObserverState>> observers_;
    std::vector<AXElementRef> madeMain_;
    std::vector<std::int32_t> broughtToFront_;
    bool failRegistrations_ = false;
    int windowsReads_ = 0;
};

} // namespace dimwell
