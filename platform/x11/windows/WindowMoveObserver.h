#pragma once
// Moves and resizes of tracked windows, from the X server's structure
// notifications of the client window (resizes, and the window manager's synthetic
// moves) and of its frame (moves). A drag produces a burst of notifications; they
// are folded into at most one callback per window per turn of the event loop,
// reporting where the window is by then. The frame's own notifications carry its
// place, so a move is reported without asking the server again.

#include "platform/ports/Accessibility.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QRect>
#include <QTimer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dimwell::x11 {

class WindowStack;

class WindowMoveObserver final : public AXObserver, private QAbstractNativeEventFilter {
public:
    WindowMoveObserver(std::shared_ptr<const WindowStack> stack, AccessibilityApi::ObserverCallback callback);
    ~WindowMoveObserver() override;
    WindowMoveObserver(const WindowMoveObserver&) = delete;
    WindowMoveObserver& operator=(const WindowMoveObserver&) = delete;

    /// Only windows backed by an X client window can be followed.
    bool addNotification(const AXElementRef& element, const std::string& notification) override;
    bool removeNotification(const AXElementRef& element, const std::string& notification) override;

private:
    struct Watch {
        AXElementRef element;
        xcb_window_t client = 0;
        xcb_window_t frame = 0;
        bool wantsMoves = false;
        bool wantsResizes = false;
        std::optional<QRect> last;   ///< where the window was at the last callback
        std::optional<QRect> frameRect;   ///< the frame's place from its latest notification
        bool dirty = false;
        bool gone = false;
    };

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    Watch* find(const AXElement* element);
    void markDirty(Watch& watch);
    void deliver();

    std::shared_ptr<const WindowStack> stack_;
    AccessibilityApi::ObserverCallback callback_;
    std::vector<Watch> watches_;
    QTimer flush_;
    bool filterInstalled_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace dimwell::x11
