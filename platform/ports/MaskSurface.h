#pragma once
// The native side of a mask window: a borderless, click-through, per-pixel
// transparent window at the shielding level, and the canvas it paints with.

#include "common/Geometry.h"

#include <memory>

namespace dimwell {

struct Color {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    double alpha = 1.0;
    friend bool operator==(const Color&, const Color&) = default;
    static Color black(double alpha) { return {0.0, 0.0, 0.0, alpha}; }
    static Color clear() { return {0.0, 0.0, 0.0, 0.0}; }
    static Color yellow() { return {1.0, 1.0, 0.0, 1.0}; }
};

/// Window-local coordinates, origin bottom-left, y up.
class Canvas {
public:
    virtual ~Canvas() = default;
    /// Pixels take exactly `color`, whatever was there (no blending).
    virtual void fillCopy(const Rect& rect, const Color& color) = 0;
    /// A line blended normally over what is there.
    virtual void strokeLine(Point from, Point to, double width, const Color& color) = 0;
};

class SurfacePainter {
public:
    virtual ~SurfacePainter() = default;
    virtual void draw(Canvas& canvas, const Rect& dirty) = 0;
};

/// Collection behaviours the controller uses.
enum class CollectionBehavior { Transient = 8, Stationary = 16 };

class MaskSurface {
public:
    virtual ~MaskSurface() = default;
    virtual void orderFront() = 0;
    virtual void orderOut() = 0;
    virtual void close() = 0;
    virtual bool isVisible() const = 0;
    virtual void setShieldingLevel() = 0;
    virtual void setIgnoresMouseEvents(bool ignores) = 0;
    virtual void setCollectionBehavior(CollectionBehavior behavior) = 0;
    /// Cocoa space.
    virtual Rect frame() const = 0;
    /// Paints now.
    virtual void display() = 0;
    /// Paints at the next display pass; marks since the last pass paint once.
    virtual void setNeedsDisplay() = 0;
};

class WindowFactory {
public:
    virtual ~WindowFactory() = default;
    /// A hidden surface covering `frame` (Cocoa space); nothing when the platform refuses.
    virtual std::unique_ptr<MaskSurface> createMaskSurface(const Rect& frame, SurfacePainter& painter) = 0;
};

} // namespace dimwell
