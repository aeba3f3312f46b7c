// View mode: the hole is the child view under the pointer, clipped to its window.

#include "overlay/AppController.h"
#include "platform/ports/Session.h"

namespace dimwell {

namespace {
constexpr const char* kViewsUnreadableLine =
    "view mode needs the accessibility bus (at-spi2-core); the whole window is used until it runs";
constexpr const char* kViewsUnreadableTitle = "View mode uses whole windows";
constexpr const char* kViewsUnreadableText =
    "View mode needs the accessibility bus (at-spi2-core). Install it, or turn on assistive technologies in the "
    "desktop's accessibility settings, and log in again. Until it runs, the whole window is used.";
} // namespace

void AppController::tellOnceIfViewsUnreadable() {
    // Without the bus every window reads as childless and view mode quietly acts
    // like window mode: say why, once per run, rather than on every press.
    if (toldViewsUnreadable_ || ports_.accessibility.viewsReadable()) {
        return;
    }
    toldViewsUnreadable_ = true;
    log_("%s", kViewsUnreadableLine);
    if (delegate_) {
        delegate_->tellUser(kViewsUnreadableTitle, kViewsUnreadableText);
    }
}

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
    const std::optional<PointerTarget> target = findPointerTarget(SearchLog::None);
    if (!target) {
        return;
    }
    tellOnceIfViewsUnreadable();
    Rect hole = target->chosen.rect;
    if (target->matched) {
        hole = descendChildren(target->matched, hole, target->pointer, target->H);
        ports_.accessibility.setMain(target->matched);
        ports_.accessibility.bringProcessToFront(target->chosen.info.ownerPid);
    }
    setUpWindowsForRect(hole);
}

void AppController::focusMainView() {
    shutOffObserver();
    stopDragMode();
    const double H = ports_.displays.mainScreenHeight();
    const Point p = ports_.input.mouseLocation();
    const std::optional<ActiveMainWindow> main = activeMainWindow(true);
    if (!main) {
        return;
    }
    const std::optional<Rect> B = elementRect(main->window, H);
    if (!B) {
        closeOverlay();
        return;
    }
    log_("window bounds: (%3.0f,%3.0f,%3.0f,%3.0f)", B->x, B->y, B->width, B->height);
    tellOnceIfViewsUnreadable();
    setUpWindowsForRect(pointInRect(p, *B) ? descendChildren(main->window, *B, p, H) : *B);
}

} // namespace dimwell
