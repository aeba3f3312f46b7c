#pragma once
// Accessibility on sway: an application's windows, their frames, raising and
// following one come from sway's tree (Wayland gives AT-SPI no window
// positions); views inside a window come from AT-SPI, from the accessible
// frame that lies on the window.

#include "platform/ports/Accessibility.h"
#include "platform/wayland/sway/SwayWindowServer.h"

#include <memory>

namespace dimwell::wayland {

class SwayAccessibility final : public AccessibilityApi {
public:
    SwayAccessibility(std::unique_ptr<AccessibilityApi> accessible, SwayWindowServer& sway);

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
    std::vector<SwayWindow> windowsOf(std::int32_t pid) const;

    std::unique_ptr<AccessibilityApi> accessible_;
    SwayWindowServer& sway_;
    std::int32_t raisedPid_ = 0;   ///< setMain raised a window of this process just now
};

} // namespace dimwell::wayland
