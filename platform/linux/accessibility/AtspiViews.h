#pragma once
// Other programs' frames and views from the AT-SPI 2 accessibility tree, on any
// Linux desktop. Every AT-SPI call is bounded by a short timeout, and an
// application that lets one run out is not asked again in the same lookup: a
// hung program can delay a hotkey by one timeout at most.
// On its own an application's windows are its accessible frames, placed with the
// compositor's window list where the toolkit reports them relative to their
// window; nothing can be raised or followed. A window system adds that on top.

#include "common/Log.h"
#include "platform/linux/accessibility/AccessibleElements.h"
#include "platform/ports/Accessibility.h"
#include "platform/ports/WindowList.h"

#include <QPoint>
#include <QRect>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dimwell::x11 {

class AtspiViews final : public AccessibilityApi {
public:
    struct Timeouts {
        int normalMs = 250;
        /// Allowed to an application during its first moments after we first meet it.
        int startupMs = 1000;
    };

    /// One top-level frame an application shows.
    struct Frame {
        AccessibleRef object;
        std::optional<QRect> extents;   ///< as the toolkit reports them; nothing when unreadable
        std::string name;
        bool active = false;
    };

    /// `busAdvertised`: whether the window system names an accessibility bus of its
    /// own, asked only when the environment names none. Null: it names none.
    AtspiViews(LogSink& log, Timeouts timeouts, std::function<bool()> busAdvertised = {});
    explicit AtspiViews(LogSink& log) : AtspiViews(log, Timeouts{}) {}

    /// The compositor's window list, where a toolkit may report extents relative
    /// to its window (Wayland): frames are placed on their windows. Null: none.
    void setWindowRectangles(const WindowServer* windows) { windowRects_ = windows; }

    /// Whether the accessibility bus can be reached (connecting now if not yet).
    bool busAvailable() { return busAdvertised_ && ensureConnected(); }

    AXElementRef application(std::int32_t pid) override;
    std::optional<std::vector<AXElementRef>> windows(const AXElementRef& application) override;
    AXElementRef mainWindow(const AXElementRef& application) override;
    std::optional<Point> position(const AXElementRef& element) override;
    std::optional<Size> size(const AXElementRef& element) override;
    std::optional<std::vector<AXElementRef>> children(const AXElementRef& element) override;
    bool setMain(const AXElementRef&) override { return false; }
    void bringProcessToFront(std::int32_t) override {}
    std::unique_ptr<AXObserver> createObserver(std::int32_t, ObserverCallback) override { return nullptr; }
    /// False once the bus proved missing, at start or when it had no registry.
    bool viewsReadable() const override { return busAdvertised_ && !reportedUnavailable_; }

    /// The application's showing frames, in its order; none when it has no
    /// accessibility presence or stops answering.
    std::vector<Frame> frames(ApplicationState& app) const;
    /// What to add to the extents of a frame of process `pid` to have it on screen.
    QPoint frameOffset(std::int32_t pid, const std::optional<QRect>& extents) const;
    /// A view's rectangle in root pixels, offset applied; nothing when it is not
    /// showing or does not answer. One read serves calls close together.
    std::optional<QRect> extentsOf(const UiElement& element) const;

private:
    static bool busAddressKnown(const std::function<bool()>& busAdvertised);
    /// Connects on first use; true while views can be read.
    bool ensureConnected();
    void reportBusUnavailable();
    std::vector<AXElementRef> placedFrames(const std::shared_ptr<ApplicationState>& app, bool activeOnly) const;

    const WindowServer* windowRects_ = nullptr;
    Logger log_;
    Timeouts timeouts_;
    bool busAdvertised_ = false;   ///< an accessibility bus is there to connect to
    bool connectTried_ = false;
    bool busAvailable_ = false;    ///< connected
    bool reportedUnavailable_ = false;
};

} // namespace dimwell::x11
