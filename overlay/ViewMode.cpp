// View mode: the hole is the child view under the pointer, clipped to its window.

#include "overlay/AppController.h"
#include "platform/ports/Bundle.h"
#include "platform/ports/Session.h"

namespace dimwell {

Rect AppController::descendChildren(const AXElementRef& window, const Rect& bounds, Point pointer, double H) {
    // Unreadable children count as none: the descent stops at the parent.
    const std::vector<AXElementRef> children = ports_.accessibility.children(window).value_or(std::vector<AXElementRef>{});
    AXElementRef c1;
    Rect rect1;
    for (std::size_t j = 0; j < children.size(); ++j) {
        const std::optional<Rect> r = elementRect(children[j], H);
        if (!r) {
            continue;
        }
        log_("child %d: (%3.0f,%3.0f,%3.0f,%3.0f)", static_cast<int>(j), r->x, r->y, r->width, r->height);
        if (pointInRect(pointer, *r)) {
            c1 = children[j];
            rect1 = *r;
            break;
        }
    }
    if (!c1) {
        return bounds;
    }
    const Rect hole = intersection(bounds, rect1);
    const std::vector<AXElementRef> grandchildren = ports_.accessibility.children(c1).value_or(std::vector<AXElementRef>{});
    for (const AXElementRef& c2 : grandchildren) {
        const std::optional<Rect> r = elementRect(c2, H);
        if (r && pointInRect(pointer, *r)) {
            return intersection(hole, *r);
        }
    }
    return hole;
}

void AppController::focusViews() {
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
    const std::optional<ChosenWindow> chosen = windowUnderPointer(list, p, H, false, false);
    if (!chosen) {
        closeOverlay();
        return;
    }
    const Rect B = chosen->rect;
    log_("The current app is %s", chosen->info.ownerName.value_or("").c_str());

    const std::int32_t pid = chosen->info.ownerPid;
    const AXElementRef app = ports_.accessibility.application(pid);
    const std::vector<AXElementRef> windows = ports_.accessibility.windows(app).value_or(std::vector<AXElementRef>{});
    log_("windows in app %ld", static_cast<long>(windows.size()));

    Rect hole = B;
    if (const AXElementRef w = accessibilityWindowContaining(windows, p, H)) {
        hole = descendChildren(w, B, p, H);
        ports_.accessibility.setMain(w);
        ports_.accessibility.bringProcessToFront(pid);
    }
    setUpWindowsForRect(hole);
}

void AppController::focusMainView() {
    shutOffObserver();
    stopDragMode();
    const double H = ports_.displays.mainScreenHeight();
    const Point p = ports_.input.mouseLocation();

    const ActiveApplication active = ports_.workspace.activeApplication();
    log_("active app: %s", active.name.c_str());
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
    const std::optional<Rect> B = elementRect(w, H);
    if (!B) {
        closeOverlay();
        return;
    }
    log_("window bounds: (%3.0f,%3.0f,%3.0f,%3.0f)", B->x, B->y, B->width, B->height);
    const Rect hole = pointInRect(p, *B) ? descendChildren(w, *B, p, H) : *B;
    setUpWindowsForRect(hole);
}

} // namespace dimwell
