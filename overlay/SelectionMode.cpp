// Selection mode: the screen dims, a crosshair follows the pointer and the user
// drags the hole; and the click-out switch.

#include "app/Preferences.h"
#include "overlay/AppController.h"
#include "platform/ports/Session.h"

namespace dimwell {

void AppController::setMouseInput() {
    if (!ports_.trust.isTrusted()) {
        showAccessibilityAlert();
        return;
    }
    if (!dragStart_) {
        ports_.input.allowBackgroundCursorHiding();
        ports_.input.hideCursor();
        // The veil covers everything: programs underneath must not react to the
        // pointer (hover, tooltips above the veil) while the user aims.
        ports_.input.capturePointer();
        dragStart_ = true;
        createKeyDownTapIfTrusted();
        enableTap(eventTapKeyDown_.get(), true);
        enableTap(eventTapMove_.get(), true);
        enableTap(eventTapMouseDown_.get(), true);

        const Point p = ports_.input.mouseLocation();
        for (const auto& window : allWindows_) {
            window->setCollectionBehavior(CollectionBehavior::Stationary);
            window->setIgnoresMouseEvents(true);
            CustomView& view = window->customView();
            view.setOverlayOpacity(kSelectionOpacity);
            const Rect frame = window->frame();
            if (pointInRect(p, frame)) {
                view.setOverlay(true);
                view.setMousePosition(minus(p, frame.origin()));
                log_("mouseloc: %4.0f,%4.0f", p.x, p.y);
            } else {
                view.setOverlay(false);
            }
            view.setMyRect({});
            window->display();
        }
    }
    for (const auto& window : allWindows_) {
        window->orderFront();
    }
}

void AppController::updateCrosshairs(Point location) {
    chPoint_ = location;
    const Point q = eventToCocoa(location, ports_.displays.mainScreenHeight(), true);
    for (const auto& window : allWindows_) {
        CustomView& view = window->customView();
        if (pointInRect(q, window->frame())) {
            view.setOverlay(true);
            window->updateCrosshairs(q);
        } else if (view.overlay()) {
            view.setOverlay(false);
            window->setNeedsDisplay();
        }
    }
}

void AppController::startDragMode(Point location) {
    chPoint_ = location;
    log_("%4.0f,%4.0f", location.x, location.y);
    enableTap(eventTapDrag_.get(), true);
    enableTap(eventTapMouseUp_.get(), true);
    enableTap(eventTapMove_.get(), false);
    const Point q = eventToCocoa(location, ports_.displays.mainScreenHeight(), true);
    for (std::size_t i = 0; i < allWindows_.size(); ++i) {
        CustomWindow& window = *allWindows_[i];
        if (pointInRect(q, window.frame())) {
            window.startDrag(q);
            currentWindow_ = static_cast<std::int64_t>(i);
        }
    }
}

void AppController::updateDragRect(Point location) {
    // The drag belongs to the window it started in; after the displays were
    // rebuilt that window may be gone.
    if (currentWindow_ < 0 || currentWindow_ >= static_cast<std::int64_t>(allWindows_.size())) {
        return;
    }
    allWindows_[static_cast<std::size_t>(currentWindow_)]->updateDrag(
        eventToCocoa(location, ports_.displays.mainScreenHeight(), false));
}

void AppController::stopDragMode() {
    overlayVisible_ = true;
    ports_.input.showCursor();
    ports_.input.releasePointer();
    if (ports_.trust.isTrusted()) {
        createKeyDownTapIfTrusted();
        enableTap(eventTapKeyDown_.get(), false);
    }
    enableTap(eventTapDrag_.get(), false);
    enableTap(eventTapMouseUp_.get(), false);
    enableTap(eventTapMouseDown_.get(), false);
    log_("stop drag mode");
    if (!dragStart_) {
        return;
    }
    log_("stop drag mode actually");
    dragStart_ = false;
    for (const auto& window : allWindows_) {
        window->releaseDrag();
    }
    if (singleMonitorOnly_) {
        for (std::size_t i = 0; i < allWindows_.size(); ++i) {
            if (static_cast<std::int64_t>(i) == currentWindow_) {
                allWindows_[i]->orderFront();
            } else {
                allWindows_[i]->orderOut();
            }
        }
    }
    if (clickOut_) {
        enableTap(eventTapMouseDown_.get(), true);
    }
}

void AppController::hideCursorIfVisible() {
    if (ports_.input.isCursorVisible()) {
        log_("cursor visible");
        ports_.input.allowBackgroundCursorHiding();
        ports_.input.hideCursor();
    }
}

void AppController::toggleClickOut() {
    if (delegate_) {
        delegate_->setClickOut(!clickOut_);
    } else {
        // Without an application delegate the switch is kept here alone.
        setBool(prefs_, prefkey::clickOut, !clickOut_);
        setClickOut(!clickOut_);
        toggleEventTap(clickOut_);
    }
    ports_.notifications.post(notification::toggleClickOut);
}

void AppController::toggleEventTap(bool on) {
    if (on && overlayVisible_) {
        enableTap(eventTapMouseDown_.get(), true);
    } else if (!dragStart_) {
        enableTap(eventTapMouseDown_.get(), false);
    }
}

} // namespace dimwell
