#include "platform/wayland/sway/SwayAccessibility.h"

#include "platform/wayland/sway/SwayWindowTracker.h"

namespace dimwell::wayland {

namespace {

class SwayApplicationElement final : public AXElement {
public:
    SwayApplicationElement(std::int32_t processId, AXElementRef accessibleApplication)
        : pid(processId), accessible(std::move(accessibleApplication)) {}
    std::int32_t pid;
    AXElementRef accessible;
};

AXElementRef element(const SwayWindow& w) { return std::make_shared<SwayWindowElement>(w.id, w.pid); }

double overlap(const Rect& a, const Rect& b) {
    const Rect common = intersection(a, b);
    const double all = a.width * a.height + b.width * b.height - common.width * common.height;
    return common.isEmpty() || all <= 0 ? 0.0 : common.width * common.height / all;
}

} // namespace

SwayAccessibility::SwayAccessibility(std::unique_ptr<AccessibilityApi> accessible, SwayWindowServer& sway)
    : accessible_(std::move(accessible)), sway_(sway) {}

std::vector<SwayWindow> SwayAccessibility::windowsOf(std::int32_t pid) const {
    std::optional<SwayTree> tree = sway_.tree();
    std::vector<SwayWindow> list = tree ? std::move(tree->windows) : std::vector<SwayWindow>{};
    std::erase_if(list, [pid](const SwayWindow& w) { return w.pid != pid; });
    return list;
}

std::optional<Rect> SwayAccessibility::boundsOf(const AXElement* element) const {
    const auto* window = dynamic_cast<const SwayWindowElement*>(element);
    if (!window) {
        return std::nullopt;
    }
    if (window->bounds) {
        return window->bounds;   // tracking read it just now
    }
    const std::optional<SwayTree> tree = sway_.tree();
    const SwayWindow* w = tree ? tree->find(window->id) : nullptr;
    return w ? std::optional<Rect>(w->bounds) : std::nullopt;
}

AXElementRef SwayAccessibility::application(std::int32_t pid) {
    return std::make_shared<SwayApplicationElement>(pid, accessible_->application(pid));
}

std::optional<std::vector<AXElementRef>> SwayAccessibility::windows(const AXElementRef& application) {
    const auto* app = dynamic_cast<const SwayApplicationElement*>(application.get());
    if (!app) {
        return accessible_->windows(application);
    }
    std::vector<AXElementRef> list;
    for (const SwayWindow& w : windowsOf(app->pid)) {
        list.push_back(element(w));
    }
    return list;
}

AXElementRef SwayAccessibility::mainWindow(const AXElementRef& application) {
    const auto* app = dynamic_cast<const SwayApplicationElement*>(application.get());
    if (!app) {
        return accessible_->mainWindow(application);
    }
    // Front to back: the process's front window is the one it works in.
    const std::vector<SwayWindow> list = windowsOf(app->pid);
    return list.empty() ? nullptr : element(list.front());
}

std::optional<Point> SwayAccessibility::position(const AXElementRef& element) {
    if (dynamic_cast<const SwayWindowElement*>(element.get())) {
        const std::optional<Rect> r = boundsOf(element.get());
        return r ? std::optional<Point>(r->origin()) : std::nullopt;
    }
    return accessible_->position(element);
}

std::optional<Size> SwayAccessibility::size(const AXElementRef& element) {
    if (dynamic_cast<const SwayWindowElement*>(element.get())) {
        const std::optional<Rect> r = boundsOf(element.get());
        return r ? std::optional<Size>(Size{r->width, r->height}) : std::nullopt;
    }
    return accessible_->size(element);
}

std::optional<std::vector<AXElementRef>> SwayAccessibility::children(const AXElementRef& element) {
    const auto* window = dynamic_cast<const SwayWindowElement*>(element.get());
    if (!window) {
        return accessible_->children(element);
    }
    const std::optional<Rect> bounds = boundsOf(window);
    if (!bounds) {
        return std::nullopt;
    }
    // The accessible frame that lies on the window best (its extents are placed
    // on screen already); the window's own rectangle includes sway's borders.
    AXElementRef frame;
    double best = 0.5;
    const AXElementRef app = accessible_->application(window->pid);
    for (const AXElementRef& candidate : accessible_->windows(app).value_or(std::vector<AXElementRef>{})) {
        const std::optional<Point> p = accessible_->position(candidate);
        const std::optional<Size> s = accessible_->size(candidate);
        const double share = p && s ? overlap(*bounds, {p->x, p->y, s->width, s->height}) : 0.0;
        if (share > best) {
            best = share;
            frame = candidate;
        }
    }
    return frame ? accessible_->children(frame) : std::vector<AXElementRef>{};
}

bool SwayAccessibility::setMain(const AXElementRef& window) {
    const auto* w = dynamic_cast<const SwayWindowElement*>(window.get());
    if (!w) {
        return accessible_->setMain(window);
    }
    const bool raised = sway_.bringToFront(w->id);
    raisedPid_ = raised ? w->pid : 0;
    return raised;
}

void SwayAccessibility::bringProcessToFront(std::int32_t pid) {
    // Focusing a window raises it: the window set main just now is the one.
    const bool raised = raisedPid_ == pid;
    raisedPid_ = 0;
    if (raised) {
        return;
    }
    const std::vector<SwayWindow> list = windowsOf(pid);
    if (list.empty()) {
        accessible_->bringProcessToFront(pid);
    } else {
        sway_.bringToFront(list.front().id);
    }
}

std::unique_ptr<AXObserver> SwayAccessibility::createObserver(std::int32_t, ObserverCallback callback) {
    return std::make_unique<SwayWindowTracker>(sway_.ipc(), std::move(callback));
}

} // namespace dimwell::wayland
