#pragma once
// The elements the accessibility backend hands to the core. An application is a
// process id with, when it has one, its AT-SPI application object. A window or view
// is an AT-SPI object, an X client window, or both: windows that were matched to
// their X window take their geometry from X (the frame, read at each call), views
// and frames with no X window (any on Wayland) take it from AT-SPI.

#include "platform/ports/Accessibility.h"
#include "platform/linux/accessibility/AtspiHandles.h"

#include <QRect>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

namespace dimwell::x11 {

/// What one lookup learned about an application; shared by all elements found
/// through it, so one timeout marks the whole application as not answering.
struct ApplicationState {
    std::int32_t pid = 0;
    AccessibleRef accessible;   ///< null: no AT-SPI presence
    bool unresponsive = false;
};

class ApplicationElement final : public AXElement {
public:
    explicit ApplicationElement(std::shared_ptr<ApplicationState> s) : state(std::move(s)) {}
    std::shared_ptr<ApplicationState> state;
};

class UiElement final : public AXElement {
public:
    UiElement(std::shared_ptr<ApplicationState> app, std::uint32_t clientWindow, AccessibleRef object,
              QPoint extentsOffset = {})
        : application(std::move(app)), client(clientWindow), accessible(std::move(object)), offset(extentsOffset) {}

    std::shared_ptr<ApplicationState> application;
    std::uint32_t client = 0;    ///< the X client window (xcb_window_t), 0 for views
    AccessibleRef accessible;    ///< null for windows without AT-SPI presence
    /// Added to the AT-SPI extents: the window's origin where the toolkit reports
    /// them relative to the window (Wayland); zero otherwise.
    QPoint offset;

    // The core reads position and size back to back; one AT-SPI read serves both.
    mutable bool extentsRead = false;
    mutable std::optional<QRect> extents;   ///< root pixels; nothing when unreadable
    mutable std::chrono::steady_clock::time_point extentsReadAt;
};

} // namespace dimwell::x11
