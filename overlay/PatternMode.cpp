// Pattern mode: the hole is the panel around the pointer that border detection
// finds in a capture of the window.

#include "overlay/AppController.h"
#include "platform/ports/Bundle.h"
#include "platform/ports/Session.h"

namespace dimwell {

void AppController::focusPattern() {
    if (!ports_.trust.isTrusted()) {
        showAccessibilityAlert();
        return;
    }
    shutOffObserver();
    stopDragMode();

    const std::vector<WindowInfo> list = ports_.windowServer.onScreenWindows();
    interrupted_process_ = {};
    const Point p = ports_.input.mouseLocation();
    const double H = ports_.displays.mainScreenHeight();
    const std::optional<ChosenWindow> chosen = windowUnderPointer(list, p, H, false, true);
    if (!chosen) {
        closeOverlay();
        return;
    }
    const Rect R = chosen->rect;
    log_("The current app is %s", chosen->info.ownerName.value_or("").c_str());

    const std::int32_t pid = chosen->info.ownerPid;
    const AXElementRef app = ports_.accessibility.application(pid);
    const std::vector<AXElementRef> windows = ports_.accessibility.windows(app).value_or(std::vector<AXElementRef>{});
    log_("windows in app %ld", static_cast<long>(windows.size()));
    if (const AXElementRef w = accessibilityWindowContaining(windows, p, H)) {
        ports_.accessibility.setMain(w);
        ports_.accessibility.bringProcessToFront(pid);
    }
    setUpWindowsForRect(captureAndDetect(chosen->info.windowNumber, p, R.origin(), R));
}

void AppController::focusMainPattern() {
    shutOffObserver();
    stopDragMode();
    const double H = ports_.displays.mainScreenHeight();
    const Point p = ports_.input.mouseLocation();

    const ActiveApplication active = ports_.workspace.activeApplication();
    if (active.name == ports_.bundle.processName()) {
        closeOverlay();
        return;
    }
    const AXElementRef app = ports_.accessibility.application(active.processIdentifier);
    AXElementRef w = ports_.accessibility.mainWindow(app);
    if (!w) {
        const std::vector<AXElementRef> windows =
            ports_.accessibility.windows(app).value_or(std::vector<AXElementRef>{});
        log_("windows in app %ld", static_cast<long>(windows.size()));
        if (!windows.empty()) {
            w = windows.front();
        }
    }
    const std::optional<Rect> A = elementRect(w, H);
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
