#pragma once
// A mask's picture written down as drawing operations, so that a redraw
// repaints and declares as damage only where two pictures differ, and so that
// the hole (the fully transparent fills) can shape the input region.
// Window-local points, origin bottom-left.

#include "platform/ports/MaskSurface.h"

#include <vector>

namespace dimwell::wayland {

struct PaintOp {
    enum class Kind { Fill, Line };
    Kind kind = Kind::Fill;
    Rect rect;           ///< Fill: the area
    Point from, to;      ///< Line: the ends
    double width = 0.0;  ///< Line: the stroke
    Color color;
    friend bool operator==(const PaintOp&, const PaintOp&) = default;

    /// Every pixel the operation can touch.
    Rect bounds() const;
};

using Picture = std::vector<PaintOp>;

class RecordingCanvas : public Canvas {
public:
    void fillCopy(const Rect& rect, const Color& color) override;
    void strokeLine(Point from, Point to, double width, const Color& color) override;
    Picture take() { return std::move(ops_); }

private:
    Picture ops_;
};

void replay(const Picture& picture, Canvas& canvas);

/// Areas, within `bounds`, where two pictures may differ: the areas of the
/// operations that differ. Many small areas are merged into their bounding box.
std::vector<Rect> changedAreas(const Picture& before, const Picture& after, const Rect& bounds);

/// The fully transparent fills that no later operation covers: the hole.
std::vector<Rect> clearAreas(const Picture& picture);

} // namespace dimwell::wayland
