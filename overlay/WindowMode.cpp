// Window mode: the hole is one application window, and follows it.

#include "overlay/AppController.h"
#include "platform/ports/Session.h"

namespace dimwell {

void AppController::focusWindow() {
    if (!ports_.trust.isTrusted()) {
        showAccessibilityAlert();
        return;
    }
    const std::optional<PointerTarget> target = findPointerTarget(SearchLog::Entries);
    if (!target) {
        return;
    }
    if (target->matched) {
        const std::int32_t pid = target->chosen.info.ownerPid;
        frontWindow_ = target->matched;
        startTracking(pid);
        ports_.accessibility.setMain(target->matched);
        ports_.accessibility.bringProcessToFront(pid);
    }
    setUpWindowsForRect(target->chosen.rect);
}

void AppController::focusMainWindow() {
    shutOffObserver();
    stopDragMode();
    const double H = ports_.displays.mainScreenHeight();
    const std::optional<ActiveMainWindow> main = activeMainWindow(true);
    if (!main) {
        return;
    }
    frontWindow_ = main->window;
    const std::optional<Rect> bounds = elementRect(frontWindow_, H);
    if (!bounds) {
        // No window of the active application can be read: nothing to highlight.
        closeOverlay();
        return;
    }
    startTracking(main->pid);
    log_("window bounds: (%3.0f,%3.0f,%3.0f,%3.0f)", bounds->x, bounds->y, bounds->width, bounds->height);
    setUpWindowsForRect(*bounds);
}

} // namespace dimwell
