#include "mask/MaskPicture.h"

#include <algorithm>

namespace dimwell {

namespace {

/// More damaged areas than this are sent as one.
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
        return rect.isEmpty() ? Rect{} : rect;
    }
    // Half the stroke on each side, and a pixel of antialiasing beyond.
    const double pad = width / 2.0 + 1.0;
    const double x0 = std::min(from.x, to.x) - pad;
    const double y0 = std::min(from.y, to.y) - pad;
    const double x1 = std::max(from.x, to.x) + pad;
    const double y1 = std::max(from.y, to.y) + pad;
    return {x0, y0, x1 - x0, y1 - y0};
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

std::vector<Rect> damageBetween(const Picture& before, const Picture& after, const Rect& bounds) {
    std::vector<Rect> damage;
    auto add = [&](const PaintOp& op) {
        const Rect r = intersection(op.bounds(), bounds);
        if (!r.isEmpty()) {
            damage.push_back(r);
        }
    };
    const std::size_t n = std::max(before.size(), after.size());
    for (std::size_t i = 0; i < n; ++i) {
        const bool inBefore = i < before.size();
        const bool inAfter = i < after.size();
        if (inBefore && inAfter && before[i] == after[i]) {
            continue;
        }
        if (inBefore) {
            add(before[i]);
        }
        if (inAfter) {
            add(after[i]);
        }
    }
    const bool whole = std::any_of(damage.begin(), damage.end(), [&](const Rect& r) {
        return r.x <= bounds.x && r.y <= bounds.y && r.maxX() >= bounds.maxX() && r.maxY() >= bounds.maxY();
    });
    if (whole) {
        return {bounds};
    }
    if (damage.size() > kMaxAreas) {
        Rect all;
        for (const Rect& r : damage) {
            all = unite(all, r);
        }
        return {all};
    }
    return damage;
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

} // namespace dimwell
