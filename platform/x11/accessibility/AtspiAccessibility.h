#pragma once
// Other programs' windows and views from the AT-SPI 2 accessibility tree, with the
// X window list standing in for programs that have no accessibility presence, and
// EWMH for activation and raising. Every AT-SPI call is bounded by a short timeout,
// and an application that lets one run out is not asked again in the same lookup:
// a hung program can delay a hotkey by one timeout at most.

#include "common/Log.h"
#include "platform/ports/Accessibility.h"
#include "platform/ports/WindowList.h"

#include <xcb/xcb.h>

#include <QRect>

#include <memory>
#include <vector>

namespace dimwell::x11 {

class WindowStack;
class UiElement;
struct ApplicationState;

class AtspiAccessibility final : public AccessibilityApi {
public:
    struct Timeouts {
        int normalMs = 250;
        /// Allowed to an application during its first moments after we first meet it.
        int startupMs = 1000;
    };

    AtspiAccessibility(std::shared_ptr<const WindowStack> stack, LogSink& log, Timeouts timeouts);
    AtspiAccessibility(std::shared_ptr<const WindowStack> stack, LogSink& log)
        : AtspiAccessibility(std::move(stack), log, Timeouts{}) {}

    /// The compositor's window list, where a toolkit may report extents relative
    /// to its window (Wayland): frames are placed on their windows. Null: none.
    void setWindowRectangles(const WindowServer* windows) { windowRects_ = windows; }

    /// Whether the accessibility bus could be reached when this process first tried.
    bool busAvailable() const { return busAvailable_; }

    AXElementRef application(std::int32_t pid) override;
    std::optional<std::vector<AXElementRef>> windows(const AXElementRef& application) override;
    AXElementRef mainWindow(const AXElementRef& application) override;
    std::optional<Point> position(const AXElementRef& element) override;
    std::optional<Size> size(const AXElementRef& element) override;
    std::optional<std::vector<AXElementRef>> children(const AXElementRef& element) override;
    bool setMain(const AXElementRef& window) override;
    void bringProcessToFront(std::int32_t pid) override;
    std::unique_ptr<AXObserver> createObserver(std::int32_t pid, ObserverCallback callback) override;
    /// False once the bus proved missing, at start or when it had no registry.
    bool viewsReadable() const override { return busAvailable_ && !reportedUnavailable_; }

private:
    struct WindowCandidate;

    bool connectBus();
    void reportBusUnavailable();
    std::vector<WindowCandidate> windowCandidates(const std::shared_ptr<ApplicationState>& app);
    std::optional<QRect> extentsOf(const UiElement& element);
    std::optional<QRect> boundsOf(const UiElement& element);

    QPoint frameOffset(std::int32_t pid, const std::optional<QRect>& extents) const;

    std::shared_ptr<const WindowStack> stack_;
    const WindowServer* windowRects_ = nullptr;
    Logger log_;
    Timeouts timeouts_;
    bool busAvailable_ = false;
    bool reportedUnavailable_ = false;
    xcb_window_t lastMain_ = 0;
};

} // namespace dimwell::x11
