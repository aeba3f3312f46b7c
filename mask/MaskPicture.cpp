#include "mask/MaskPicture.h"

#include <algorithm>
#include <cmath>

namespace dimwell {

namespace {

/// More damaged areas than this are merged into fewer, larger ones.
constexpr std::size_t kMaxAreas = 32;
/// Pictures with more operations than this are not compared pixel by pixel.
constexpr std::size_t kMaxOps = 64;

bool contains(const Rect& outer, const Rect& inner) {
    return outer.x <= inner.x && outer.y <= inner.y && outer.maxX() >= inner.maxX() && outer.maxY() >= inner.maxY();
}

/// What the operations of `picture` leave in `cell`: the last fill covering it
/// whole (its colour alone matters there) and everything drawn after it.
void marksIn(const Picture& picture, const Rect& cell, Picture& marks) {
    marks.clear();
    for (const PaintOp& op : picture) {
        if (op.kind == PaintOp::Kind::Fill && !op.rect.isEmpty() && contains(op.rect, cell)) {
            marks.clear();
            PaintOp uniform;
            uniform.color = op.color;
            marks.push_back(uniform);
        } else if (intersects(op.bounds(), cell)) {
            marks.push_back(op);
        }
    }
}

/// Every edge an operation can put between a changed pixel and an unchanged
/// one, widened to whole points, within [lo, hi].
void addEdges(std::vector<double>& edges, double from, double to, double lo, double hi) {
    for (const double e : {std::floor(from), std::ceil(from), std::floor(to), std::ceil(to)}) {
        edges.push_back(std::clamp(e, lo, hi));
    }
}

std::vector<double> sortedUnique(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
    return v;
}

/// Areas stacked bottom to top, one per band of rows and disjoint, each the
/// width of everything changed in its band; the closest neighbours merge until
/// at most `limit` are left.
std::vector<Rect> mergeBands(std::vector<Rect> bands, std::size_t limit) {
    while (bands.size() > limit) {
        std::size_t best = 0;
        double bestCost = 0.0;
        for (std::size_t i = 0; i + 1 < bands.size(); ++i) {
            const Rect& a = bands[i];
            const Rect& b = bands[i + 1];
            const double x0 = std::min(a.x, b.x);
            const double x1 = std::max(a.maxX(), b.maxX());
            const double cost = (x1 - x0) * (b.maxY() - a.y) - a.width * a.height - b.width * b.height;
            if (i == 0 || cost < bestCost) {
                best = i;
                bestCost = cost;
            }
        }
        const Rect& a = bands[best];
        const Rect& b = bands[best + 1];
        const double x0 = std::min(a.x, b.x);
        const double x1 = std::max(a.maxX(), b.maxX());
        bands[best] = {x0, a.y, x1 - x0, b.maxY() - a.y};
        bands.erase(bands.begin() + static_cast<std::ptrdiff_t>(best) + 1);
    }
    return bands;
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
    if (before == after || bounds.isEmpty()) {
        return {};
    }
    if (before.size() + after.size() > kMaxOps) {
        return {bounds};
    }
    // A grid whose cells no operation's edge crosses: in each cell every pixel
    // has the same list of operations, and a cell is either changed or not.
    std::vector<double> xs{bounds.x, bounds.maxX()};
    std::vector<double> ys{bounds.y, bounds.maxY()};
    for (const Picture* picture : {&before, &after}) {
        for (const PaintOp& op : *picture) {
            const Rect r = op.bounds();
            if (!r.isEmpty()) {
                addEdges(xs, r.x, r.maxX(), bounds.x, bounds.maxX());
                addEdges(ys, r.y, r.maxY(), bounds.y, bounds.maxY());
            }
        }
    }
    xs = sortedUnique(std::move(xs));
    ys = sortedUnique(std::move(ys));

    // Rows of changed cells joined into runs; a run exactly below an equal one
    // grows upwards, so the rectangles never overlap.
    std::vector<Rect> damage;
    std::vector<std::size_t> open;   // indices into damage ending at the current row
    std::vector<Rect> bands;         // per row: everything changed in it, for the merge
    Picture was, is;
    std::vector<char> changed(xs.size() - 1);
    for (std::size_t j = 0; j + 1 < ys.size(); ++j) {
        const double y0 = ys[j], y1 = ys[j + 1];
        for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
            const Rect cell{xs[i], y0, xs[i + 1] - xs[i], y1 - y0};
            marksIn(before, cell, was);
            marksIn(after, cell, is);
            changed[i] = was != is;
        }
        std::vector<std::size_t> stillOpen;
        for (std::size_t i = 0; i < changed.size();) {
            if (!changed[i]) {
                ++i;
                continue;
            }
            std::size_t k = i + 1;
            while (k < changed.size() && changed[k]) {
                ++k;
            }
            const Rect run{xs[i], y0, xs[k] - xs[i], y1 - y0};
            const auto below = std::find_if(open.begin(), open.end(), [&](std::size_t d) {
                return damage[d].x == run.x && damage[d].width == run.width;
            });
            if (below != open.end()) {
                damage[*below].height = y1 - damage[*below].y;
                stillOpen.push_back(*below);
            } else {
                stillOpen.push_back(damage.size());
                damage.push_back(run);
            }
            if (stillOpen.size() == 1) {
                bands.push_back(run);
            } else {
                bands.back().width = run.maxX() - bands.back().x;
            }
            i = k;
        }
        open = std::move(stillOpen);
        // A band exactly as wide as the one below it grows upwards.
        if (bands.size() >= 2 && bands.back().y == y0) {
            Rect& below = bands[bands.size() - 2];
            if (below.maxY() == y0 && below.x == bands.back().x && below.width == bands.back().width) {
                below.height = y1 - below.y;
                bands.pop_back();
            }
        }
    }
    if (damage.size() <= kMaxAreas) {
        return damage;
    }
    return mergeBands(std::move(bands), kMaxAreas);
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
