#pragma once
// The background of a detection: the gray level that dominates a window of
// about 20 × 20 pixels around the point.

#include "pattern/Image.h"

#include <cstdint>

namespace dimwell {

struct Span {
    std::int32_t begin = 0;   ///< first position
    std::int32_t end = 0;     ///< one past the last
    friend bool operator==(const Span&, const Span&) = default;
};

/// Positions of the sample window along one axis, for a point at `position` in a
/// picture `size` long (0 <= position < size): 10 before the point and 9 after;
/// where that meets an edge, 21 positions against it (at the far edge the last
/// position stays out). Pictures shorter than 22 would push that outside, so the
/// window is cut to the picture there, and never left empty.
Span sampleSpan(std::int32_t position, std::int32_t size);

/// The most frequent gray level of the sample window around (x, y). Among levels
/// with equal counts the darkest (lowest level) wins.
std::int32_t backgroundLevel(const Image& image, std::int32_t x, std::int32_t y);

} // namespace dimwell
