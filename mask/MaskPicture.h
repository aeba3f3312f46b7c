#pragma once
// What a mask view paints, written down instead of painted: two pictures of the
// whole window tell which areas a redraw must touch, and the fully transparent
// fills are the hole the input region leaves open. Window-local points, origin
// bottom-left. Every backend's masks paint through this.

#include "platform/ports/MaskSurface.h"

#include <vector>

namespace dimwell {

struct PaintOp {
    enum class Kind { Fill, Line };
    Kind kind = Kind::Fill;
    Rect rect;            ///< Fill: the area
    Point from, to;       ///< Line: the ends
    double width = 0.0;   ///< Line: the stroke
    Color color;
    friend bool operator==(const PaintOp&, const PaintOp&) = default;

    /// Every pixel the operation can touch, antialiasing included.
    Rect bounds() const;
};

using Picture = std::vector<PaintOp>;

class RecordingCanvas : public Canvas {
public:
    void fillCopy(const Rect& rect, const Color& color) override;
    void strokeLine(Point from, Point to, double width, const Color& color) override;

    const Picture& ops() const { return ops_; }
    Picture take() { return std::move(ops_); }

private:
    Picture ops_;
};

/// Paints a recorded picture on a real canvas.
void replay(const Picture& picture, Canvas& canvas);

/// The pixels, inside `bounds`, that differ between two pictures, as disjoint
/// rectangles: the strips a moving hole uncovers and covers, the old and new
/// crosshair lines. A pixel's colour follows from the last fill covering it and
/// the lines drawn over that fill, so the pixels whose list of those operations
/// is the same in both pictures keep their colour. Edges are whole points, so a
/// canvas at any whole scale repaints whole pixels. No more than a few dozen
/// rectangles come back: beyond that neighbouring ones are merged into larger
/// ones, so that a display server is never handed a long list for one frame;
/// pictures of more operations than a mask view ever draws come back as `bounds`.
std::vector<Rect> damageBetween(const Picture& before, const Picture& after, const Rect& bounds);

/// The fully transparent fills that no later opaque fill covers: the hole.
std::vector<Rect> clearAreas(const Picture& picture);

} // namespace dimwell
