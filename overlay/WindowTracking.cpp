// Window tracking: the hole follows the tracked window's moves and resizes.

#include "overlay/AppController.h"

namespace dimwell {

void AppController::startTracking(std::int32_t pid) {
    observer_.reset();
    observer_ = ports_.accessibility.createObserver(
        pid, [this](const AXElementRef& element, const std::string&) { windowMovedCallback(element); });
    if (observer_ && frontWindow_) {
        observer_->addNotification(frontWindow_, kAXWindowMovedNotification);
        observer_->addNotification(frontWindow_, kAXWindowResizedNotification);
    }
    addedObserver_ = true;
}

void AppController::shutOffObserver() {
    if (!addedObserver_) {
        return;
    }
    if (observer_ && frontWindow_) {
        observer_->removeNotification(frontWindow_, kAXWindowMovedNotification);
        observer_->removeNotification(frontWindow_, kAXWindowResizedNotification);
    }
    addedObserver_ = false;
}

void AppController::windowMovedCallback(const AXElementRef& element) {
    const double H = ports_.displays.mainScreenHeight();
    const std::optional<Rect> r = elementRect(element, H);
    if (!r) {
        // The window went away between the notification and the read.
        return;
    }
    setUpWindowsForRect(*r);
    log_("window moved");
}

} // namespace dimwell
