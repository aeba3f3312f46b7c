#pragma once
// The mask view's canvas on a QPainter: window-local points, origin bottom-left
// and y up, onto Qt's top-left device with `pixelRatio` device pixels per point
// folded out again (one point is one X pixel).

#include "platform/ports/MaskSurface.h"

class QPainter;

namespace dimwell::x11 {

class QtCanvas : public Canvas {
public:
    /// `heightPoints`: the window's height, for the flip. `logicalPerPoint`:
    /// Qt logical pixels per point (1 / the screen's device pixel ratio).
    QtCanvas(QPainter& painter, double heightPoints, double logicalPerPoint = 1.0);

    void fillCopy(const Rect& rect, const Color& color) override;
    void strokeLine(Point from, Point to, double width, const Color& color) override;

private:
    QPainter& painter_;
    double height_;
    double scale_;
};

} // namespace dimwell::x11
