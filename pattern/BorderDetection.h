#pragma once
// Border detection: the rectangle bounded by the nearest straight, evenly
// coloured lines around a point of a gray picture.

#include "common/Geometry.h"
#include "common/Log.h"
#include "pattern/Image.h"

#include <cstdint>

namespace dimwell {

/// The region around column x, row y, in pixels of the picture: x and y of its
/// first column and row, its width and height in pixels; always inside the
/// picture. A point outside the picture yields the whole picture. Logs
/// "standard deviation of left: %3.3f" when a line is found to the left.
///
/// Gives exactly the result of findRegionPlain, but reads a probe only as far as
/// needed to know it cannot be a line, and reads the columns of the vertical
/// probes a cache line at a time.
Rect findRegion(const Image& image, std::int32_t x, std::int32_t y, const Logger& log);

} // namespace dimwell
