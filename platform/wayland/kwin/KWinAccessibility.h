#pragma once
// Accessibility on KWin: an application's windows, their frames, raising and
// following one come from KWin's own window list (Wayland gives AT-SPI no
// window positions); views inside a window still come from AT-SPI, from the
// accessible window of the same size.

#include "platform/ports/Accessibility.h"
#include "platform/wayland/kwin/KWinWindows.h"

#include <memory>

namespace dimwell::wayland {

/// A KWin window as the core holds it.
class KWinWindowElement final : public AXElement {
public:
    KWinWindowElement(std::uint32_t windowNumber, std::int32_t processId) : number(windowNumber), pid(processId) {}
    std::uint32_t number;
    std::int32_t pid;
};

class KWinAccessibility final : public AccessibilityApi {
public:
    KWinAccessibility(std::unique_ptr<AccessibilityApi> accessible, KWinWindows& windows);

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
    std::optional<KWinWindow> current(const AXElement* element) const;

    std::unique_ptr<AccessibilityApi> accessible_;
    KWinWindows& kwin_;
    std::int32_t activatedPid_ = 0;   ///< setMain raised a window of this process just now
};

} // namespace dimwell::wayland
