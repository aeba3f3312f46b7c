#pragma once
// One detection on a captured bitmap: the point in pixels of the bitmap in, the
// region around it out.

#include "common/Geometry.h"
#include "common/Log.h"
#include "pattern/GrayBitmap.h"

#include <cstdint>

namespace dimwell {

class ImageProcessor {
public:
    explicit ImageProcessor(const Logger& log) : log_(log) {}

    /// The point is rounded to a pixel, halves away from zero. Returns the region
    /// in pixels of the bitmap, y counted from its first row; the whole bitmap when
    /// the point lies outside it or the bitmap is malformed.
    Rect processImage(Point point, const GrayBitmap& bitmap) const;

private:
    Logger log_;
};

/// A coordinate rounded to the nearest pixel, halves away from zero. A value no
/// 32-bit index can hold (or not a number) becomes -1, outside every picture,
/// instead of an undefined conversion.
std::int32_t nearestPixel(double value);

} // namespace dimwell
