// Pattern mode: the hole is the panel around the pointer that border detection
// finds in a capture of the window.

#include "overlay/AppController.h"
#include "platform/ports/Session.h"

namespace dimwell {

void AppController::focusPattern() {
    if (!ports_.trust.isTrusted()) {
        showAccessibilityAlert();
        return;
    }
    const std::optional<PointerTarget> target = findPointerTarget(SearchLog::WindowIds);
    if (!target) {
        return;
    }
    if (target->matched) {
        ports_.accessibility.setMain(target->matched);
        ports_.accessibility.bringProcessToFront(target->chosen.info.ownerPid);
    }
    const Rect R = target->chosen.rect;
    setUpWindowsForRect(captureAndDetect(target->chosen.info.windowNumber, target->pointer, R.origin(), R));
}

void AppController::focusMainPattern() {
    shutOffObserver();
    stopDragMode();
    const double H = ports_.displays.mainScreenHeight();
    const Point p = ports_.input.mouseLocation();
    const std::optional<ActiveMainWindow> main = activeMainWindow(false);
    if (!main) {
        return;
    }
    const std::optional<Rect> A = elementRect(main->window, H);
    if (!A) {
        closeOverlay();
        return;
    }
    log_("window bounds: (%3.0f,%3.0f,%3.0f,%3.0f)", A->x, A->y, A->width, A->height);
    log_("mouseLoc: (%3.0f,%3.0f)", p.x, p.y);

    std::optional<std::uint32_t> windowNumber;
    for (const WindowInfo& entry : ports_.windowServer.onScreenWindows()) {
        if (topLeftToCocoa(entry.bounds, H) == *A && pointInRect(p, *A)) {
            windowNumber = entry.windowNumber;
            log_("found pattern");
            break;
        }
    }
    setUpWindowsForRect(windowNumber ? captureAndDetect(*windowNumber, p, A->origin(), *A) : *A);
}

} // namespace dimwell
