#pragma once
// Other programs' windows and views from the AT-SPI 2 accessibility tree, with the
// X window list standing in for programs that have no accessibility presence, and
// EWMH for activation and raising. Frames are paired with their X windows, which
// then give their geometry; views come from AT-SPI alone.

#include "platform/linux/accessibility/AtspiViews.h"

#include <xcb/xcb.h>

#include <QRect>

#include <memory>
#include <vector>

namespace dimwell::x11 {

class WindowStack;

class AtspiAccessibility final : public AccessibilityApi {
public:
    using Timeouts = AtspiViews::Timeouts;

    AtspiAccessibility(std::shared_ptr<const WindowStack> stack, LogSink& log, Timeouts timeouts);
    AtspiAccessibility(std::shared_ptr<const WindowStack> stack, LogSink& log)
        : AtspiAccessibility(std::move(stack), log, Timeouts{}) {}

    /// Whether the accessibility bus could be reached when this process first tried.
    bool busAvailable() { return views_.busAvailable(); }

    AXElementRef application(std::int32_t pid) override { return views_.application(pid); }
    std::optional<std::vector<AXElementRef>> windows(const AXElementRef& application) override;
    AXElementRef mainWindow(const AXElementRef& application) override;
    std::optional<Point> position(const AXElementRef& element) override;
    std::optional<Size> size(const AXElementRef& element) override;
    std::optional<std::vector<AXElementRef>> children(const AXElementRef& element) override {
        return views_.children(element);
    }
    bool setMain(const AXElementRef& window) override;
    void bringProcessToFront(std::int32_t pid) override;
    std::unique_ptr<AXObserver> createObserver(std::int32_t pid, ObserverCallback callback) override;
    bool viewsReadable() const override { return views_.viewsReadable(); }

private:
    struct WindowCandidate;

    std::vector<WindowCandidate> windowCandidates(const std::shared_ptr<ApplicationState>& app);
    std::optional<QRect> boundsOf(const UiElement& element);

    std::shared_ptr<const WindowStack> stack_;
    AtspiViews views_;
    xcb_window_t lastMain_ = 0;
};

} // namespace dimwell::x11
