#include "pattern/ImageProcessor.h"

#include "pattern/BitmapImage.h"
#include "pattern/BorderDetection.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace dimwell {

std::int32_t nearestPixel(double value) {
    const double rounded = std::round(value);
    if (!(rounded >= double(std::numeric_limits<std::int32_t>::min()) &&
          rounded <= double(std::numeric_limits<std::int32_t>::max()))) {
        return -1;
    }
    return std::int32_t(rounded);
}

Rect ImageProcessor::processImage(Point point, const GrayBitmap& bitmap) const {
    if (!bitmap.isValid()) {
        return {0.0, 0.0, double(std::max(bitmap.pixelsWide, 0)), double(std::max(bitmap.pixelsHigh, 0))};
    }
    // The detection only reads, so the buffer's rows point straight into the
    // capture rather than into a copy of it.
    const auto wrapper = wrappedImageViewOfBitmap(bitmap);
    return findRegion(*wrapper->image(), nearestPixel(point.x), nearestPixel(point.y), log_);
}

} // namespace dimwell
