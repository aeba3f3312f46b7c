#pragma once
// KWin's windows for CompositorAccessibility: the window list from KWin's own
// reports, raising by activation, following through the window reports.
// Toolkits report their window's size to AT-SPI, so accessible frames are
// matched by size.

#include "platform/wayland/CompositorWindows.h"
#include "platform/wayland/kwin/KWinWindows.h"

namespace dimwell::wayland {

class KWinCompositorWindows final : public CompositorWindows {
public:
    explicit KWinCompositorWindows(KWinWindows& kwin) : kwin_(kwin) {}

    std::vector<CompositorWindow> windows() const override;
    bool raise(std::uint32_t id) override { return kwin_.activate(id); }
    /// KWin windows through the window reports; other elements through the accessibility observer.
    std::unique_ptr<AXObserver> observe(std::int32_t pid, AccessibilityApi::ObserverCallback callback,
                                        AccessibilityApi& accessible) override;
    FrameMatch frameMatch() const override { return FrameMatch::SameSize; }

private:
    KWinWindows& kwin_;
};

} // namespace dimwell::wayland
