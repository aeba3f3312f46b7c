#include "pattern/PatternHole.h"

#include "pattern/ImageProcessor.h"

#include <cmath>

namespace dimwell {

namespace {
/// Anything but a finite positive factor is taken as one pixel per point.
double usableScale(double pixelsPerPoint) {
    return std::isfinite(pixelsPerPoint) && pixelsPerPoint > 0.0 ? pixelsPerPoint : 1.0;
}
} // namespace

Rect holeFromDetection(const Rect& detected, Point origin, double pixelsPerPoint) {
    const double k = usableScale(pixelsPerPoint);
    if (k == 1.0) {
        return {detected.x + origin.x, detected.y + origin.y, detected.width, detected.height};
    }
    return {detected.x / k + origin.x, detected.y / k + origin.y, detected.width / k, detected.height / k};
}

Rect detectHole(const GrayBitmap& capture, double pixelsPerPoint, Point pointer, Point origin, const Logger& log) {
    const double k = usableScale(pixelsPerPoint);
    const Point local = minus(pointer, origin);
    const Rect detected = ImageProcessor(log).processImage({local.x * k, local.y * k}, capture);
    return holeFromDetection(detected, origin, k);
}

} // namespace dimwell
