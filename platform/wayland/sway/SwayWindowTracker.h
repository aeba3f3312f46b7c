#pragma once
// Moves and resizes of tracked windows on sway. sway announces no moves or
// resizes of floating windows, so while a window is tracked its rectangle is read
// from the tree once per display refresh (and at once on any window event about
// it); with nothing tracked there is no timer and no subscription. A window that
// closes (sway's "close" event, or gone from the tree) is no longer tracked. A
// sway that stops answering ends all tracking with one log line rather than
// holding up the event loop at every refresh.

#include "platform/ports/Accessibility.h"
#include "platform/wayland/CompositorWindows.h"
#include "platform/wayland/sway/SwayIpc.h"

#include <QTimer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dimwell::wayland {

struct SwayTree;

/// A sway window as the core holds it: container id and process; tracking
/// sets its bounds (decorations included) before each callback.
using SwayWindowElement = CompositorWindowElement;

class SwayWindowTracker final : public AXObserver {
public:
    SwayWindowTracker(std::shared_ptr<SwayIpc> ipc, AccessibilityApi::ObserverCallback callback);
    SwayWindowTracker(LogSink& log, AccessibilityApi::ObserverCallback callback, std::string socketPath = {});
    ~SwayWindowTracker() override;
    SwayWindowTracker(const SwayWindowTracker&) = delete;
    SwayWindowTracker& operator=(const SwayWindowTracker&) = delete;

    /// Only SwayWindowElements of windows that exist can be followed.
    bool addNotification(const AXElementRef& element, const std::string& notification) override;
    bool removeNotification(const AXElementRef& element, const std::string& notification) override;

    std::size_t trackedWindows() const { return watches_.size(); }
    /// The polling period while tracking; nothing when idle.
    std::optional<int> pollingInterval() const;

private:
    struct Watch {
        std::shared_ptr<const SwayWindowElement> element;
        bool wantsMoves = false;
        bool wantsResizes = false;
    };

    Watch* find(const AXElement* element);
    void start(const SwayTree& tree);
    void stop();
    void poll();
    void windowEvent(const QJsonObject& event);

    std::shared_ptr<SwayIpc> ipc_;
    AccessibilityApi::ObserverCallback callback_;
    std::vector<Watch> watches_;
    QTimer timer_;
    std::unique_ptr<SwayEvents> events_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace dimwell::wayland
