#pragma once
// What a mask view paints, written down instead of painted: two recordings of
// the whole window tell which areas a redraw must touch, and where the picture
// is fully transparent. Window-local points, origin bottom-left.

#include "platform/ports/MaskSurface.h"

#include <vector>

namespace dimwell::x11 {

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

class RecordingCanvas : public Canvas {
public:
    void fillCopy(const Rect& rect, const Color& color) override;
    void strokeLine(Point from, Point to, double width, const Color& color) override;

    const std::vector<PaintOp>& ops() const { return ops_; }

private:
    std::vector<PaintOp> ops_;
};

/// Areas, inside `bounds`, where the pictures of two recordings may differ.
/// A pixel can only change where an operation that covers it changed, so this
/// is the union of the areas of the operations that differ. An area as large as
/// `bounds` comes back as `bounds` alone.
std::vector<Rect> damageBetween(const std::vector<PaintOp>& before, const std::vector<PaintOp>& after,
                                const Rect& bounds);

} // namespace dimwell::x11
