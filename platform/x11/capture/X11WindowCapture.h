#pragma once
// One window's own pixels as an 8-bit gray picture, bottom row first.
//
// With a compositing manager every top-level window is redirected off screen,
// and Composite's NameWindowPixmap hands out the window's own storage: the
// window as itself, whatever covers it, never the overlay. Without one the
// window is read in place with GetImage (covered parts then show what covers
// them, as X gives no other copy).

#include "platform/ports/WindowCapture.h"

#include <cstdint>

struct xcb_connection_t;

namespace dimwell::x11 {

class X11WindowCapture final : public WindowCapture {
public:
    enum class Source { None, Composite, Window };

    /// `pixelsPerPoint`: X pixels per point of the window list's bounds.
    explicit X11WindowCapture(xcb_connection_t* connection, double pixelsPerPoint = 1.0);

    /// `windowNumber` is the window list's number: an application window inside
    /// a window-manager frame, or a top-level window. The capture covers the
    /// top-level window the user sees (frame and border included), which is the
    /// rectangle the window list gives as the bounds.
    std::optional<CapturedWindow> captureGray(std::uint32_t windowNumber) override;

    /// Where the last capture's pixels came from.
    Source lastSource() const { return lastSource_; }

private:
    xcb_connection_t* c_;
    double pixelsPerPoint_;
    bool composite_ = false;
    Source lastSource_ = Source::None;
};

} // namespace dimwell::x11
