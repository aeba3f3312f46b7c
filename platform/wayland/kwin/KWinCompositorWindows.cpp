#include "platform/wayland/kwin/KWinCompositorWindows.h"
#include "platform/ports/FrameChange.h"

#include <algorithm>

namespace dimwell::wayland {

namespace {

/// Follows KWin windows through the window reports; other elements through
/// the accessibility observer.
class KWinWindowObserver final : public AXObserver {
public:
    KWinWindowObserver(KWinWindows& kwin, std::unique_ptr<AXObserver> accessible,
                       AccessibilityApi::ObserverCallback callback)
        : kwin_(kwin), accessible_(std::move(accessible)), callback_(std::move(callback)) {}

    bool addNotification(const AXElementRef& element, const std::string& notification) override {
        auto window = std::dynamic_pointer_cast<const CompositorWindowElement>(element);
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
            const std::optional<Rect> now = boundsOf(window->id);
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
        std::shared_ptr<const CompositorWindowElement> element;
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
                                  [&](const KWinWindow& k) { return k.number == watch.element->id; });
            if (w == now.end()) {
                return true;   // closed, or no longer shown: nothing to follow
            }
            const bool resized = w->bounds.width != watch.bounds.width || w->bounds.height != watch.bounds.height;
            const bool moved = w->bounds.origin() != watch.bounds.origin();
            watch.bounds = w->bounds;
            if (const char* name = frameChangeNotification(moved, resized, watch.moves, watch.resizes)) {
                due.emplace_back(watch.element, name);
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

std::vector<CompositorWindow> KWinCompositorWindows::windows() const {
    std::vector<CompositorWindow> list;
    for (const KWinWindow& w : kwin_.windows()) {
        list.push_back({w.number, w.pid, w.bounds, w.active});
    }
    return list;
}

std::unique_ptr<AXObserver> KWinCompositorWindows::observe(std::int32_t pid,
                                                           AccessibilityApi::ObserverCallback callback,
                                                           AccessibilityApi& accessible) {
    return std::make_unique<KWinWindowObserver>(kwin_, accessible.createObserver(pid, callback), callback);
}

} // namespace dimwell::wayland
