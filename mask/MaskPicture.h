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

/// Areas, inside `bounds`, where two pictures may differ. A pixel can only
/// change where an operation that covers it changed, so this is the areas of
/// the operations that differ. An area as large as `bounds` comes back as
/// `bounds` alone, and many small ones as their bounding box, so that a display
/// server is never handed a long list for one frame.
std::vector<Rect> damageBetween(const Picture& before, const Picture& after, const Rect& bounds);

/// The fully transparent fills that no later opaque fill covers: the hole.
std::vector<Rect> clearAreas(const Picture& picture);

} // namespace dimwell
