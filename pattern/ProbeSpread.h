#pragma once
// The spread of a probe, with the exact mix of single and double precision the
// border detection is defined by: sums, mean and divisions in float; each
// squared difference formed in double and added to the running total widened to
// double, the total narrowed back to float after every addition.

#include <cstdint>

namespace dimwell {

/// A probe is uniform when its spread is strictly below this (0.2 as a float).
inline constexpr float kLineThreshold = 0.2f;

inline bool isUniformSpread(float spread) { return kLineThreshold > spread; }

/// One step of the running total.
inline float addSquare(float total, float mean, std::uint8_t value) {
    const float d = mean - float(value);
    return float(double(total) + double(d) * double(d));
}

/// Short row probe of `row` around column x: the anchor itself, then for
/// k = 1..19 the pixel k to the right and the pixel k to the left, each only if
/// it lies inside the row. The anchor's own term is formed wholly in float.
float shortRowSpread(const std::uint8_t* row, std::int32_t x, std::int32_t width);

/// Column and full row probes: pixel(i) for i = 0..n-1 in increasing row or
/// column order, sums starting at 0. n must be positive.
template <class PixelAt>
float lineSpread(const PixelAt& pixel, std::int32_t n) {
    float sum = 0.0f;
    for (std::int32_t i = 0; i < n; ++i) {
        sum += float(pixel(i));
    }
    const float count = float(n);
    const float mean = sum / count;
    float total = 0.0f;
    for (std::int32_t i = 0; i < n; ++i) {
        total = addSquare(total, mean, pixel(i));
    }
    return total / count;
}

/// True when a probe of n pixels whose exact sum of squared deviations (around
/// their own mean, or of any subset of them around its mean) is at least `m2`
/// cannot come out uniform, whatever the rounding. Rounding in the mean, the
/// differences, the accumulation and the final division lowers the computed
/// spread by less than a relative (n + 4) × 2^-23; the check leaves that room.
bool certainlyNotUniform(double m2, std::int64_t n);

} // namespace dimwell
