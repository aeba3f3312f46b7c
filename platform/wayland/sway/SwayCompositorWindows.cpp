#include "platform/wayland/sway/SwayCompositorWindows.h"

#include "platform/wayland/sway/SwayWindowTracker.h"

namespace dimwell::wayland {

namespace {

CompositorWindow compositorWindow(const SwayWindow& w) { return {w.id, w.pid, w.bounds, false}; }

} // namespace

std::vector<CompositorWindow> SwayCompositorWindows::windows() const {
    std::vector<CompositorWindow> list;
    if (const std::optional<SwayTree> tree = sway_.tree()) {
        for (const SwayWindow& w : tree->windows) {
            list.push_back(compositorWindow(w));
        }
    }
    return list;
}

std::optional<CompositorWindow> SwayCompositorWindows::find(std::uint32_t id) const {
    const std::optional<SwayTree> tree = sway_.tree();
    const SwayWindow* w = tree ? tree->find(id) : nullptr;
    return w ? std::optional<CompositorWindow>(compositorWindow(*w)) : std::nullopt;
}

std::unique_ptr<AXObserver> SwayCompositorWindows::observe(std::int32_t, AccessibilityApi::ObserverCallback callback,
                                                           AccessibilityApi&) {
    return std::make_unique<SwayWindowTracker>(sway_.ipc(), std::move(callback));
}

} // namespace dimwell::wayland
