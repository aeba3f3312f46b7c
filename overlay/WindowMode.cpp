// Window mode: the hole is one application window, and follows it.

#include "overlay/AppController.h"
#include "platform/ports/Bundle.h"
#include "platform/ports/Session.h"

namespace dimwell {

void AppController::focusWindow() {
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
    const std::optional<ChosenWindow> chosen = windowUnderPointer(list, p, H, true, false);
    if (!chosen) {
        closeOverlay();
        return;
    }
    const std::int32_t pid = chosen->info.ownerPid;
    log_("The current app is %s", chosen->info.ownerName.value_or("").c_str());

    const AXElementRef app = ports_.accessibility.application(pid);
    const std::vector<AXElementRef> windows = ports_.accessibility.windows(app).value_or(std::vector<AXElementRef>{});
    log_("windows in app %ld", static_cast<long>(windows.size()));

    if (const AXElementRef matched = accessibilityWindowContaining(windows, p, H)) {
        frontWindow_ = matched;
        startTracking(pid);
        ports_.accessibility.setMain(matched);
        ports_.accessibility.bringProcessToFront(pid);
    }
    setUpWindowsForRect(chosen->rect);
}

void AppController::focusMainWindow() {
    shutOffObserver();
    stopDragMode();
    const double H = ports_.displays.mainScreenHeight();

    const ActiveApplication active = ports_.workspace.activeApplication();
    log_("active app: %s", active.name.c_str());
    if (active.name == ports_.bundle.processName()) {
        closeOverlay();
        return;
    }

    const AXElementRef app = ports_.accessibility.application(active.processIdentifier);
    frontWindow_ = nullptr;
    frontWindow_ = ports_.accessibility.mainWindow(app);
    if (!frontWindow_) {
        const std::vector<AXElementRef> windows =
            ports_.accessibility.windows(app).value_or(std::vector<AXElementRef>{});
        log_("windows in app %ld", static_cast<long>(windows.size()));
        if (!windows.empty()) {
            frontWindow_ = windows.front();
        }
    }
    const std::optional<Rect> bounds = elementRect(frontWindow_, H);
    if (!bounds) {
        // No window of the active application can be read: nothing to highlight.
        closeOverlay();
        return;
    }
    startTracking(active.processIdentifier);
    log_("window bounds: (%3.0f,%3.0f,%3.0f,%3.0f)", bounds->x, bounds->y, bounds->width, bounds->height);
    setUpWindowsForRect(*bounds);
}

} // namespace dimwell
