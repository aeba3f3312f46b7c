// The five event taps and their callbacks: what each looks at, and whether the
// event goes on to the program underneath or is swallowed.

#include "overlay/AppController.h"
#include "platform/ports/Session.h"

namespace dimwell {

namespace {
constexpr std::int64_t kEscapeKeyCode = 53;
} // namespace

std::unique_ptr<EventTap> AppController::createTap(std::uint64_t mask,
                                                   TapVerdict (AppController::*callback)(const InputEvent&)) {
    std::unique_ptr<EventTap> tap =
        ports_.input.createTap(mask, [this, callback](const InputEvent& event) { return (this->*callback)(event); });
    if (tap) {
        tap->enable(false);
    } else {
        log_("the event tap for mask %llu could not be created", static_cast<unsigned long long>(mask));
    }
    return tap;
}

void AppController::createKeyDownTapIfTrusted() {
    if (!eventTapKeyDown_ && ports_.trust.isTrusted()) {
        eventTapKeyDown_ = createTap(keyDownMask, &AppController::keyDownCallback);
    }
}

void AppController::enableTap(EventTap* tap, bool on) {
    // A tap the platform refused stays absent; switching it is a no-op.
    if (tap) {
        tap->enable(on);
    }
}

void AppController::reEnableMouseUp() { enableTap(eventTapMouseUp_.get(), true); }
void AppController::reEnableMouseDown() { enableTap(eventTapMouseDown_.get(), true); }
void AppController::reEnableDrag() { enableTap(eventTapDrag_.get(), true); }
void AppController::reEnableMove() { enableTap(eventTapMove_.get(), true); }

TapVerdict AppController::keyDownCallback(const InputEvent& event) {
    if (event.keyCode == kEscapeKeyCode) {
        closeOverlay();
        return TapVerdict::Swallow;
    }
    return TapVerdict::Pass;
}

TapVerdict AppController::mouseMovedCallback(const InputEvent& event) {
    if (event.type == EventType::TapDisabledByTimeout) {
        log_("Mouse moved Disabled by timeout");
        reEnableMove();
        return TapVerdict::Swallow;
    }
    if (event.type != EventType::MouseMoved || !dragStart_) {
        return TapVerdict::Pass;
    }
    updateCrosshairs(event.location);
    hideCursorIfVisible();
    return TapVerdict::Swallow;
}

TapVerdict AppController::mouseDraggedCallback(const InputEvent& event) {
    if (event.type == EventType::TapDisabledByTimeout) {
        log_("Mouse drag Disabled by timeout");
        reEnableDrag();
        return TapVerdict::Swallow;
    }
    if (event.type != EventType::LeftMouseDragged || !dragStart_) {
        return TapVerdict::Pass;
    }
    updateDragRect(event.location);
    hideCursorIfVisible();
    return TapVerdict::Swallow;
}

TapVerdict AppController::mouseDownCallback(const InputEvent& event) {
    return clickOutTest(event);
}

TapVerdict AppController::mouseUpCallback(const InputEvent& event) {
    log_("mouse up");
    if (event.type == EventType::TapDisabledByTimeout) {
        log_("Mouse up Disabled by timeout");
        reEnableMouseUp();
        return TapVerdict::Swallow;
    }
    if (event.type != EventType::LeftMouseUp || !dragStart_) {
        return TapVerdict::Pass;
    }
    stopDragMode();
    log_("end drag");
    log_("Location? x= %f, y = %f", static_cast<double>(static_cast<float>(event.location.x)),
         static_cast<double>(static_cast<float>(event.location.y)));
    ports_.input.postMouseMoved(event.location);
    return TapVerdict::Pass;
}

TapVerdict AppController::clickOutTest(const InputEvent& event) {
    // The window list is looked at for every event, before its type.
    const std::vector<WindowInfo> windows = ports_.windowServer.onScreenWindows();
    if (event.type == EventType::TapDisabledByTimeout) {
        log_("Mouse Down Disabled by timeout");
        reEnableMouseDown();
        return TapVerdict::Swallow;
    }
    if (event.type != EventType::LeftMouseDown) {
        return TapVerdict::Pass;
    }
    if (dragStart_) {
        log_("drag start click");
        startDragMode(event.location);
        ports_.input.postMouseMoved(event.location);
        return TapVerdict::Swallow;
    }

    bool shown = false;
    for (const WindowInfo& w : windows) {
        if (w.layer > 100 && ports_.windowServer.isOwnWindow(w)) {
            shown = true;
            break;
        }
    }
    if (!clickOut_ || !shown) {
        return TapVerdict::Pass;
    }

    log_("click out click");
    const Point q = eventToCocoa(event.location, ports_.displays.mainScreenHeight(), false);
    bool inside = false;
    for (std::size_t i = 0; i < allWindows_.size(); ++i) {
        const CustomWindow& w = *allWindows_[i];
        const Rect frame = w.frame();
        if (pointInRect(minus(q, frame.origin()), w.customView().myRect())) {
            inside = true;
        }
        // A click on a display other than the one holding the hole never closes it.
        if (singleMonitorOnly_ && static_cast<std::int64_t>(i) != currentWindow_ && pointInRect(q, frame)) {
            inside = true;
        }
    }
    if (inside) {
        return TapVerdict::Pass;
    }
    closeOverlay();
    return TapVerdict::Swallow;
}

} // namespace dimwell
