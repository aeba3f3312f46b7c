#pragma once
// Accessibility on a compositor with a window source of its own: an
// application's windows, their frames, raising and following one come from the
// compositor; views inside a window come from AT-SPI, from the accessible frame
// that matches the window.

#include "platform/ports/Accessibility.h"
#include "platform/wayland/CompositorWindows.h"

#include <memory>

namespace dimwell::wayland {

class CompositorAccessibility final : public AccessibilityApi {
public:
    CompositorAccessibility(std::unique_ptr<AccessibilityApi> accessible, std::unique_ptr<CompositorWindows> windows);

    AXElementRef application(std::int32_t pid) override;
    std::optional<std::vector<AXElementRef>> windows(const AXElementRef& application) override;
    AXElementRef mainWindow(const AXElementRef& application) override;
    std::optional<Point> position(const AXElementRef& element) override;
    std::optional<Size> size(const AXElementRef& element) override;
    std::optional<std::vector<AXElementRef>> children(const AXElementRef& element) override;
    bool setMain(const AXElementRef& window) override;
    void bringProcessToFront(std::int32_t pid) override;
    std::unique_ptr<AXObserver> createObserver(std::int32_t pid, ObserverCallback callback) override;
    bool viewsReadable() const override { return accessible_->viewsReadable(); }

private:
    std::optional<Rect> boundsOf(const AXElement* element) const;
    std::vector<CompositorWindow> windowsOf(std::int32_t pid) const;
    AXElementRef frameOf(const CompositorWindowElement& window, const Rect& bounds);

    std::unique_ptr<AccessibilityApi> accessible_;
    std::unique_ptr<CompositorWindows> compositor_;
    std::int32_t raisedPid_ = 0;   ///< setMain raised a window of this process just now
};

} // namespace dimwell::wayland
