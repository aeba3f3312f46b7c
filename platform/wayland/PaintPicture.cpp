#include "platform/wayland/PaintPicture.h"

#include <algorithm>
#include <cmath>

namespace dimwell::wayland {

namespace {

constexpr std::size_t kMaxAreas = 8;

Rect unite(const Rect& a, const Rect& b) {
    if (a.isEmpty()) {
        return b;
    }
    if (b.isEmpty()) {
        return a;
    }
    const double x0 = std::min(a.x, b.x);
    const double y0 = std::min(a.y, b.y);
    return {x0, y0, std::max(a.maxX(), b.maxX()) - x0, std::max(a.maxY(), b.maxY()) - y0};
}

} // namespace

Rect PaintOp::bounds() const {
    if (kind == Kind::Fill) {
        return rect;
    }
    // Half the stroke either side, and a point more for rounding to pixels.
    const double pad = width / 2.0 + 1.0;
    const double x0 = std::min(from.x, to.x) - pad;
    const double y0 = std::min(from.y, to.y) - pad;
    return {x0, y0, std::abs(to.x - from.x) + 2.0 * pad, std::abs(to.y - from.y) + 2.0 * pad};
}

void RecordingCanvas::fillCopy(const Rect& rect, const Color& color) {
    PaintOp op;
    op.kind = PaintOp::Kind::Fill;
    op.rect = rect;
    op.color = color;
    ops_.push_back(op);
}

void RecordingCanvas::strokeLine(Point from, Point to, double width, const Color& color) {
    PaintOp op;
    op.kind = PaintOp::Kind::Line;
    op.from = from;
    op.to = to;
    op.width = width;
    op.color = color;
    ops_.push_back(op);
}

void replay(const Picture& picture, Canvas& canvas) {
    for (const PaintOp& op : picture) {
        if (op.kind == PaintOp::Kind::Fill) {
            canvas.fillCopy(op.rect, op.color);
        } else {
            canvas.strokeLine(op.from, op.to, op.width, op.color);
        }
    }
}

std::vector<Rect> changedAreas(const Picture& before, const Picture& after, const Rect& bounds) {
    std::vector<Rect> areas;
    auto add = [&](const PaintOp& op) {
        const Rect area = intersection(op.bounds(), bounds);
        if (!area.isEmpty()) {
            areas.push_back(area);
        }
    };
    const std::size_t common = std::min(before.size(), after.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (!(before[i] == after[i])) {
            add(before[i]);
            add(after[i]);
        }
    }
    for (std::size_t i = common; i < before.size(); ++i) {
        add(before[i]);
    }
    for (std::size_t i = common; i < after.size(); ++i) {
        add(after[i]);
    }
    if (areas.size() > kMaxAreas) {
        Rect all;
        for (const Rect& area : areas) {
            all = unite(all, area);
        }
        areas = {all};
    }
    return areas;
}

std::vector<Rect> clearAreas(const Picture& picture) {
    std::vector<Rect> clear;
    for (const PaintOp& op : picture) {
        if (op.kind != PaintOp::Kind::Fill) {
            continue;
        }
        if (op.color.alpha <= 0.0) {
            if (!op.rect.isEmpty()) {
                clear.push_back(op.rect);
            }
        } else {
            // An opaque fill over an earlier hole closes it.
            std::erase_if(clear, [&](const Rect& r) { return intersects(r, op.rect); });
        }
    }
    return clear;
}

} // namespace dimwell::wayland
