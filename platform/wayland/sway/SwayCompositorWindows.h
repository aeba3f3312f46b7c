#pragma once
// sway's windows for CompositorAccessibility: the window list from sway's tree,
// raising by focus, following by SwayWindowTracker. sway's window rectangles
// include its borders, so accessible frames are matched by overlap.

#include "platform/wayland/CompositorWindows.h"
#include "platform/wayland/sway/SwayWindowServer.h"

namespace dimwell::wayland {

class SwayCompositorWindows final : public CompositorWindows {
public:
    explicit SwayCompositorWindows(SwayWindowServer& sway) : sway_(sway) {}

    std::vector<CompositorWindow> windows() const override;
    std::optional<CompositorWindow> find(std::uint32_t id) const override;
    bool raise(std::uint32_t id) override { return sway_.bringToFront(id); }
    std::unique_ptr<AXObserver> observe(std::int32_t pid, AccessibilityApi::ObserverCallback callback,
                                        AccessibilityApi& accessible) override;
    FrameMatch frameMatch() const override { return FrameMatch::Overlap; }

private:
    SwayWindowServer& sway_;
};

} // namespace dimwell::wayland
