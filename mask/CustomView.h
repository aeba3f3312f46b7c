#pragma once
// The mask view: a black veil of adjustable opacity with one clear hole, and the
// crosshair of selection mode. Window-local coordinates, origin bottom-left.

#include "common/Geometry.h"
#include "platform/ports/MaskSurface.h"

namespace dimwell {

class Defaults;
class Logger;

class CustomViewDelegate {
public:
    virtual ~CustomViewDelegate() = default;
};

class CustomView {
public:
    explicit CustomView(const Rect& frame) : frame_({0.0, 0.0, frame.width, frame.height}) {}

    /// Initial state: no crosshair, no hole, the stored opacity (0.5 when unset), yellow cross.
    void awakeFromNib(const Defaults& prefs);
    /// Veil copied over `area`, hole cleared, crosshair blended on top.
    void drawRect(Canvas& canvas, const Rect& area) const;

    // The hole is always read and written whole; every caller is on the main
    // thread, so a plain copy is never torn.
    Rect myRect() const { return myRect_; }
    void setMyRect(const Rect& rect) { myRect_ = rect; }
    bool overlay() const { return overlay_; }
    void setOverlay(bool on) { overlay_ = on; }
    Point mousePosition() const { return mousePosition_; }
    void setMousePosition(Point p) { mousePosition_ = p; }
    float overlayOpacity() const { return overlayOpacity_; }
    void setOverlayOpacity(float opacity) { overlayOpacity_ = opacity; }
    const Color& crossColor() const { return crossColor_; }
    void setCrossColor(const Color& color) { crossColor_ = color; }
    CustomViewDelegate* viewDelegate() const { return viewDelegate_; }
    void setViewDelegate(CustomViewDelegate* d) { viewDelegate_ = d; }
    /// The view fills its window: (0, 0, width, height).
    const Rect& frame() const { return frame_; }

    void mouseMoved(const Logger& log) const;
    void mouseDragged(const Logger& log) const;

private:
    Rect frame_;
    Rect myRect_;
    bool overlay_ = false;
    Point mousePosition_;
    CustomViewDelegate* viewDelegate_ = nullptr;
    float overlayOpacity_ = 0.0f;
    Color crossColor_ = Color::yellow();
};

} // namespace dimwell
