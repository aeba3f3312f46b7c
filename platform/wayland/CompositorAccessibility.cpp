#include "platform/wayland/CompositorAccessibility.h"

#include <algorithm>

namespace dimwell::wayland {

namespace {

class CompositorApplicationElement final : public AXElement {
public:
    CompositorApplicationElement(std::int32_t processId, AXElementRef accessibleApplication)
        : pid(processId), accessible(std::move(accessibleApplication)) {}
    std::int32_t pid;
    AXElementRef accessible;
};

AXElementRef element(const CompositorWindow& w) { return std::make_shared<CompositorWindowElement>(w.id, w.pid); }

double overlap(const Rect& a, const Rect& b) {
    const Rect common = intersection(a, b);
    const double all = a.width * a.height + b.width * b.height - common.width * common.height;
    return common.isEmpty() || all <= 0 ? 0.0 : common.width * common.height / all;
}

} // namespace

std::optional<CompositorWindow> CompositorWindows::find(std::uint32_t id) const {
    for (CompositorWindow& w : windows()) {
        if (w.id == id) {
            return w;
        }
    }
    return std::nullopt;
}

CompositorAccessibility::CompositorAccessibility(std::unique_ptr<AccessibilityApi> accessible,
                                                 std::unique_ptr<CompositorWindows> windows)
    : accessible_(std::move(accessible)), compositor_(std::move(windows)) {}

std::vector<CompositorWindow> CompositorAccessibility::windowsOf(std::int32_t pid) const {
    std::vector<CompositorWindow> list = compositor_->windows();
    std::erase_if(list, [pid](const CompositorWindow& w) { return w.pid != pid; });
    return list;
}

std::optional<Rect> CompositorAccessibility::boundsOf(const AXElement* element) const {
    const auto* window = dynamic_cast<const CompositorWindowElement*>(element);
    if (!window) {
        return std::nullopt;
    }
    if (window->bounds) {
        return window->bounds;   // tracking read it just now
    }
    const std::optional<CompositorWindow> w = compositor_->find(window->id);
    return w ? std::optional<Rect>(w->bounds) : std::nullopt;
}

AXElementRef CompositorAccessibility::application(std::int32_t pid) {
    return std::make_shared<CompositorApplicationElement>(pid, accessible_->application(pid));
}

std::optional<std::vector<AXElementRef>> CompositorAccessibility::windows(const AXElementRef& application) {
    const auto* app = dynamic_cast<const CompositorApplicationElement*>(application.get());
    if (!app) {
        return accessible_->windows(application);
    }
    std::vector<AXElementRef> list;
    for (const CompositorWindow& w : windowsOf(app->pid)) {
        list.push_back(element(w));
    }
    return list;
}

AXElementRef CompositorAccessibility::mainWindow(const AXElementRef& application) {
    const auto* app = dynamic_cast<const CompositorApplicationElement*>(application.get());
    if (!app) {
        return accessible_->mainWindow(application);
    }
    // The active window if the process has it, else its front window: the one it works in.
    const std::vector<CompositorWindow> list = windowsOf(app->pid);
    const auto active = std::find_if(list.begin(), list.end(), [](const CompositorWindow& w) { return w.active; });
    return active != list.end() ? element(*active) : list.empty() ? nullptr : element(list.front());
}

std::optional<Point> CompositorAccessibility::position(const AXElementRef& element) {
    if (dynamic_cast<const CompositorWindowElement*>(element.get())) {
        const std::optional<Rect> r = boundsOf(element.get());
        return r ? std::optional<Point>(r->origin()) : std::nullopt;
    }
    return accessible_->position(element);
}

std::optional<Size> CompositorAccessibility::size(const AXElementRef& element) {
    if (dynamic_cast<const CompositorWindowElement*>(element.get())) {
        const std::optional<Rect> r = boundsOf(element.get());
        return r ? std::optional<Size>(Size{r->width, r->height}) : std::nullopt;
    }
    return accessible_->size(element);
}

AXElementRef CompositorAccessibility::frameOf(const CompositorWindowElement& window, const Rect& bounds) {
    const AXElementRef app = accessible_->application(window.pid);
    const std::vector<AXElementRef> candidates = accessible_->windows(app).value_or(std::vector<AXElementRef>{});
    if (compositor_->frameMatch() == FrameMatch::Overlap) {
        // Accessible extents are placed on screen already; the window's own
        // rectangle includes the compositor's borders.
        AXElementRef frame;
        double best = 0.5;
        for (const AXElementRef& candidate : candidates) {
            const std::optional<Point> p = accessible_->position(candidate);
            const std::optional<Size> s = accessible_->size(candidate);
            const double share = p && s ? overlap(bounds, {p->x, p->y, s->width, s->height}) : 0.0;
            if (share > best) {
                best = share;
                frame = candidate;
            }
        }
        return frame;
    }
    for (const AXElementRef& candidate : candidates) {
        const std::optional<Size> s = accessible_->size(candidate);
        if (s && s->width == bounds.width && s->height == bounds.height) {
            return candidate;
        }
    }
    // A toolkit may count its size without the frame; a program's only window is this one.
    if (candidates.size() == 1 && windowsOf(window.pid).size() == 1) {
        return candidates.front();
    }
    return nullptr;
}

std::optional<std::vector<AXElementRef>> CompositorAccessibility::children(const AXElementRef& element) {
    const auto* window = dynamic_cast<const CompositorWindowElement*>(element.get());
    if (!window) {
        return accessible_->children(element);
    }
    const std::optional<Rect> bounds = boundsOf(window);
    if (!bounds) {
        return std::nullopt;
    }
    const AXElementRef frame = frameOf(*window, *bounds);
    return frame ? accessible_->children(frame) : std::vector<AXElementRef>{};
}

bool CompositorAccessibility::setMain(const AXElementRef& window) {
    const auto* w = dynamic_cast<const CompositorWindowElement*>(window.get());
    if (!w) {
        return accessible_->setMain(window);
    }
    const bool raised = compositor_->raise(w->id);
    raisedPid_ = raised ? w->pid : 0;
    return raised;
}

void CompositorAccessibility::bringProcessToFront(std::int32_t pid) {
    // Focusing a window raises it: the window set main just now is the one.
    const bool raised = raisedPid_ == pid;
    raisedPid_ = 0;
    if (raised) {
        return;
    }
    const std::vector<CompositorWindow> list = windowsOf(pid);
    if (list.empty()) {
        accessible_->bringProcessToFront(pid);
    } else {
        compositor_->raise(list.front().id);
    }
}

std::unique_ptr<AXObserver> CompositorAccessibility::createObserver(std::int32_t pid, ObserverCallback callback) {
    return compositor_->observe(pid, std::move(callback), *accessible_);
}

} // namespace dimwell::wayland
