#include "platform/sim/SimMaskSurface.h"

#include <cmath>

namespace dimwell {

SimMaskSurface::SimMaskSurface(const Rect& frame, SurfacePainter& painter, std::uint64_t& orderClock)
    : frame_(frame), painter_(&painter), orderClock_(orderClock),
      canvas_(static_cast<int>(std::lround(frame.width)), static_cast<int>(std::lround(frame.height))) {}

void SimMaskSurface::orderFront() {
    visible_ = true;
    ++orderFrontCount_;
    frontOrder_ = ++orderClock_;
}

void SimMaskSurface::paint() {
    if (!painter_) {
        return;
    }
    const Rect whole{0.0, 0.0, frame_.width, frame_.height};
    canvas_.setClip(whole);
    painter_->draw(canvas_, whole);
    ++paintCount_;
    needsDisplay_ = false;
}

void SimMaskSurface::display() {
    ++displayCount_;
    paint();
}

bool SimMaskSurface::displayIfNeeded() {
    if (!needsDisplay_) {
        return false;
    }
    paint();
    return true;
}

void SimMaskSurface::resetCounts() {
    orderFrontCount_ = orderOutCount_ = displayCount_ = needsDisplayCount_ = paintCount_ = 0;
}

} // namespace dimwell
