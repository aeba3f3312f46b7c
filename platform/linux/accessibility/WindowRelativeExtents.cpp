#include "platform/linux/accessibility/WindowRelativeExtents.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace dimwell::linuxdesktop {

namespace {

/// Rounding and hidden shadows: extents a few pixels off are still the same place.
constexpr int kSlack = 4;

bool near(QPoint a, QPoint b) { return std::abs(a.x() - b.x()) <= kSlack && std::abs(a.y() - b.y()) <= kSlack; }

} // namespace

QPoint windowRelativeOffset(const QRect& frame, const std::vector<QRect>& windows) {
    // The window whose size fits the frame best: its content is the frame plus
    // borders on every side and a title bar on top.
    const QRect* best = nullptr;
    int bestSlack = INT_MAX;
    for (const QRect& w : windows) {
        const int dw = w.width() - frame.width();
        const int dh = w.height() - frame.height();
        if (dw < -kSlack || dh < -kSlack || dh < dw - kSlack) {
            continue;
        }
        if (dw + dh < bestSlack) {
            best = &w;
            bestSlack = dw + dh;
        }
    }
    if (!best) {
        return {};
    }
    const int border = std::max(0, (best->width() - frame.width()) / 2);
    const QPoint content(best->x() + border, best->y() + std::max(0, best->height() - frame.height() - border));
    if (near(frame.topLeft(), content)) {
        return {};
    }
    // Window-relative: the frame says it sits at the origin while its window is elsewhere.
    return near(frame.topLeft(), QPoint(0, 0)) ? content - frame.topLeft() : QPoint();
}

} // namespace dimwell::linuxdesktop
