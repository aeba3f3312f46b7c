#include "platform/wayland/kwin/KWinAccessibility.h"

#include <algorithm>

namespace dimwell::wayland {

namespace {

class KWinApplicationElement final : public AXElement {
public:
    KWinApplicationElement(std::int32_t processId, AXElementRef accessibleApplication)
        : pid(processId), accessible(std::move(accessibleApplication)) {}
    std::int32_t pid;
    AXElementRef accessible;
};

std::vector<KWinWindow> windowsOf(const KWinWindows& kwin, std::int32_t pid) {
    std::vector<KWinWindow> list = kwin.windows();
    std::erase_if(list, [pid](const KWinWindow& w) { return w.pid != pid; });
    return list;
}

AXElementRef element(const KWinWindow& w) { return std::make_shared<KWinWindowElement>(w.number, w.pid); }

/// Follows KWin windows through the window reports; other elements through
/// the accessibility observer.
class KWinWindowObserver final : public AXObserver {
public:
    KWinWindowObserver(KWinWindows& kwin, std::unique_ptr<AXObserver> accessible,
                       AccessibilityApi::ObserverCallback callback)
        : kwin_(kwin), accessible_(std::move(accessible)), callback_(std::move(callback)) {}

    bool addNotification(const AXElementRef& element, const std::string& notification) override {
        auto window = std::dynamic_pointer_cast<const KWinWindowElement>(element);
        if (!window) {
            return accessible_ && accessible_->addNotification(element, notification);
        }
        const bool move = notification == kAXWindowMovedNotification;
        if (!move && notification != kAXWindowResizedNotification) {
            return false;
        }
        auto watch = std::find_if(watches_.begin(), watches_.end(),
                                  [&](const Watch& w) { return w.element == element; });
        if (watch == watches_.end()) {
            const std::optional<Rect> now = boundsOf(window->number);
            if (!now) {
                return false;   // gone already
            }
            watches_.push_back({window, *now});
            watch = watches_.end() - 1;
        }
        (move ? watch->moves : watch->resizes) = true;
        if (!token_) {
            token_ = kwin_.onChange([this] { changed(); });
        }
        return true;
    }

    bool removeNotification(const AXElementRef& element, const std::string& notification) override {
        auto watch = std::find_if(watches_.begin(), watches_.end(),
                                  [&](const Watch& w) { return w.element == element; });
        if (watch == watches_.end()) {
            return accessible_ && accessible_->removeNotification(element, notification);
        }
        bool& flag = notification == kAXWindowMovedNotification ? watch->moves : watch->resizes;
        const bool was = flag;
        flag = false;
        if (!watch->moves && !watch->resizes) {
            watches_.erase(watch);
        }
        if (watches_.empty()) {
            token_.reset();
        }
        return was;
    }

private:
    struct Watch {
        std::shared_ptr<const KWinWindowElement> element;
        Rect bounds;
        bool moves = false;
        bool resizes = false;
    };

    std::optional<Rect> boundsOf(std::uint32_t number) const {
        for (const KWinWindow& w : kwin_.windows()) {
            if (w.number == number) {
                return w.bounds;
            }
        }
        return std::nullopt;
    }

    void changed() {
        const std::vector<KWinWindow> now = kwin_.windows();
        std::vector<std::pair<AXElementRef, const char*>> due;
        std::erase_if(watches_, [&](Watch& watch) {
            auto w = std::find_if(now.begin(), now.end(),
                                  [&](const KWinWindow& k) { return k.number == watch.element->number; });
            if (w == now.end()) {
                return true;   // closed, or no longer shown: nothing to follow
            }
            const bool resized = w->bounds.width != watch.bounds.width || w->bounds.height != watch.bounds.height;
            const bool moved = w->bounds.origin() != watch.bounds.origin();
            watch.bounds = w->bounds;
            if (resized && watch.resizes) {
                due.emplace_back(watch.element, kAXWindowResizedNotification);
            } else if ((moved || resized) && watch.moves) {
                due.emplace_back(watch.element, kAXWindowMovedNotification);
            }
            return false;
        });
        if (watches_.empty()) {
            token_.reset();
        }
        // A callback may end this observer.
        const std::weak_ptr<bool> alive = alive_;
        for (const auto& [element, name] : due) {
            if (alive.expired()) {
                return;
            }
            callback_(element, name);
        }
    }

    KWinWindows& kwin_;
    std::unique_ptr<AXObserver> accessible_;
    AccessibilityApi::ObserverCallback callback_;
    std::vector<Watch> watches_;
    std::shared_ptr<void> token_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace

KWinAccessibility::KWinAccessibility(std::unique_ptr<AccessibilityApi> accessible, KWinWindows& windows)
    : accessible_(std::move(accessible)), kwin_(windows) {}

std::optional<KWinWindow> KWinAccessibility::current(const AXElement* element) const {
    const auto* window = dynamic_cast<const KWinWindowElement*>(element);
    if (!window) {
        return std::nullopt;
    }
    for (KWinWindow& w : kwin_.windows()) {
        if (w.number == window->number) {
            return std::move(w);
        }
    }
    return std::nullopt;
}

AXElementRef KWinAccessibility::application(std::int32_t pid) {
    return std::make_shared<KWinApplicationElement>(pid, accessible_->application(pid));
}

std::optional<std::vector<AXElementRef>> KWinAccessibility::windows(const AXElementRef& application) {
    const auto* app = dynamic_cast<const KWinApplicationElement*>(application.get());
    if (!app) {
        return accessible_->windows(application);
    }
    std::vector<AXElementRef> list;
    for (const KWinWindow& w : windowsOf(kwin_, app->pid)) {
        list.push_back(element(w));
    }
    return list;
}

AXElementRef KWinAccessibility::mainWindow(const AXElementRef& application) {
    const auto* app = dynamic_cast<const KWinApplicationElement*>(application.get());
    if (!app) {
        return accessible_->mainWindow(application);
    }
    const std::vector<KWinWindow> list = windowsOf(kwin_, app->pid);
    const auto active = std::find_if(list.begin(), list.end(), [](const KWinWindow& w) { return w.active; });
    return active != list.end() ? element(*active) : list.empty() ? nullptr : element(list.front());
}

std::optional<Point> KWinAccessibility::position(const AXElementRef& element) {
    if (dynamic_cast<const KWinWindowElement*>(element.get())) {
        const std::optional<KWinWindow> w = current(element.get());
        return w ? std::optional<Point>(w->bounds.origin()) : std::nullopt;
    }
    return accessible_->position(element);
}

std::optional<Size> KWinAccessibility::size(const AXElementRef& element) {
    if (dynamic_cast<const KWinWindowElement*>(element.get())) {
        const std::optional<KWinWindow> w = current(element.get());
        return w ? std::optional<Size>(Size{w->bounds.width, w->bounds.height}) : std::nullopt;
    }
    return accessible_->size(element);
}

std::optional<std::vector<AXElementRef>> KWinAccessibility::children(const AXElementRef& element) {
    const std::optional<KWinWindow> w = current(element.get());
    if (!w) {
        return dynamic_cast<const KWinWindowElement*>(element.get()) ? std::nullopt : accessible_->children(element);
    }
    const AXElementRef app = accessible_->application(w->pid);
    const std::vector<AXElementRef> candidates = accessible_->windows(app).value_or(std::vector<AXElementRef>{});
    for (const AXElementRef& candidate : candidates) {
        const std::optional<Size> s = accessible_->size(candidate);
        if (s && s->width == w->bounds.width && s->height == w->bounds.height) {
            return accessible_->children(candidate);
        }
    }
    // A toolkit may count its size without the frame; a program's only window is this one.
    if (candidates.size() == 1 && windowsOf(kwin_, w->pid).size() == 1) {
        return accessible_->children(candidates.front());
    }
    return std::vector<AXElementRef>{};
}

bool KWinAccessibility::setMain(const AXElementRef& window) {
    const auto* w = dynamic_cast<const KWinWindowElement*>(window.get());
    if (!w) {
        return accessible_->setMain(window);
    }
    const bool activated = kwin_.activate(w->number);
    activatedPid_ = activated ? w->pid : 0;
    return activated;
}

void KWinAccessibility::bringProcessToFront(std::int32_t pid) {
    // KWin raises the window it activates; the window set main just now is the one.
    const bool raised = activatedPid_ == pid;
    activatedPid_ = 0;
    if (raised) {
        return;
    }
    const std::vector<KWinWindow> list = windowsOf(kwin_, pid);
    if (list.empty()) {
        accessible_->bringProcessToFront(pid);
    } else {
        kwin_.activate(list.front().number);
    }
}

std::unique_ptr<AXObserver> KWinAccessibility::createObserver(std::int32_t pid, ObserverCallback callback) {
    return std::make_unique<KWinWindowObserver>(kwin_, accessible_->createObserver(pid, callback), callback);
}

} // namespace dimwell::wayland
