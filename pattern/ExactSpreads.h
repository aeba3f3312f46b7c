#pragma once
// Rounding-exact spreads of many probes at once, bit for bit as lineSpread
// works each out from its float mean, without its per-pixel trips between
// float and double.
//
// While a running total stays inside one binade [b, 2b) every total is a whole
// multiple of u = b·2^-23, and one step, float(double(total) + d²), comes to
// total + (d·d rounded to a multiple of u): the double sum is exact to far below
// u, so only the rounding to float counts, and it depends on d·d alone except
// when that lies exactly half-way between two multiples (then the total's last
// bit decides). Float arithmetic does that step exactly. A lane whose total
// leaves its binade or meets a half-way case within a chunk of pixels has the
// chunk worked out again the plain way; that happens a few dozen times per
// probe at most, unless the probe's pixels keep landing half-way.

#include "pattern/ProbeSpread.h"

#include <algorithm>
#include <array>
#include <bit>
#include <bitset>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace dimwell {

namespace exact_detail {

/// Pixels per chunk: the work one lane redoes when its chunk cannot stand.
inline constexpr std::int32_t kChunk = 8;

/// Pixels every lane first adds the plain way, side by side: while totals are
/// small they leave their binade every few pixels, and chunks would mostly be
/// redone.
inline constexpr std::int32_t kPlainStart = 64;

/// What a lane's total allows: `base`, the bottom of its binade (the sum
/// d·d + base rounds d·d to a multiple of u); `half`, u/2; `limit`, 2·base - 2u,
/// at or above which a chunk may have left the binade. A total of 0 has no
/// binade: any pixel that adds to it sends the lane the plain way.
struct Binade {
    float base = 0.0f;
    float half = std::numeric_limits<float>::infinity();
    float limit = std::numeric_limits<float>::min();
};

inline Binade binadeOf(float total) {
    if (total == 0.0f) {
        return {};
    }
    // A total is never negative, and never below the square of a float mean's
    // smallest step (2^-45 for the smallest nonzero mean), so u/2 is a normal float.
    const std::uint32_t exponent = std::bit_cast<std::uint32_t>(total) >> 23;
    const auto power = [exponent](std::int32_t shift) { return std::bit_cast<float>((exponent + shift) << 23); };
    return {power(0), power(-24), power(1) - 2.0f * power(-23)};
}

} // namespace exact_detail

/// Spreads of L probes of n pixels each (n > 0); `pixels(i)` points at L bytes,
/// pixel i of every lane, and is called for i = 0, 1, … in turn. Lanes outside
/// `wanted` ride along unlooked at. Stops early once no wanted lane can pass any
/// more (a running total never decreases); every lane then gets an infinite
/// spread.
template <std::size_t L, class Pixels>
std::array<float, L> exactSpreads(const std::bitset<L>& wanted, std::int32_t n, const std::array<float, L>& mean,
                                  Pixels&& pixels) {
    static_assert(L % 8 == 0, "lanes are looked at eight at a time");
    using exact_detail::kChunk;
    const float count = float(n);
    std::array<float, L> total{};
    const std::int32_t plain = std::min(n, exact_detail::kPlainStart);
    for (std::int32_t i = 0; i < plain; ++i) {
        std::array<std::uint8_t, L> v;
        std::memcpy(v.data(), pixels(i), L);
        for (std::size_t j = 0; j < L; ++j) {
            // The same steps as addSquare, lane by lane.
            const float d = mean[j] - float(v[j]);
            total[j] = float(double(total[j]) + double(d) * double(d));
        }
    }
    std::array<float, L> base{};
    std::array<float, L> half{};
    std::array<float, L> limit{};
    for (std::size_t j = 0; j < L; ++j) {
        const exact_detail::Binade b = exact_detail::binadeOf(total[j]);
        base[j] = b.base;
        half[j] = b.half;
        limit[j] = b.limit;
    }
    std::array<std::array<std::uint8_t, L>, kChunk> chunk;
    for (std::int32_t i = plain; i < n;) {
        const std::int32_t stop = std::min(n, i + 256);
        while (i < stop) {
            const std::int32_t steps = std::min(kChunk, stop - i);
            const std::array<float, L> start = total;
            std::array<float, L> offGrid{};   // largest |d·d - its rounding| in the chunk
            for (std::int32_t s = 0; s < steps; ++s) {
                std::memcpy(chunk[std::size_t(s)].data(), pixels(i + s), L);
                const std::array<std::uint8_t, L>& v = chunk[std::size_t(s)];
                for (std::size_t j = 0; j < L; ++j) {
                    // Separate statements: the square must be rounded before it is added.
                    const float d = mean[j] - float(v[j]);
                    const float square = d * d;
                    const float step = (square + base[j]) - base[j];
                    offGrid[j] = std::max(offGrid[j], std::fabs(square - step));
                    total[j] += step;
                }
            }
            std::array<std::uint8_t, L> redo;
            for (std::size_t j = 0; j < L; ++j) {
                redo[j] = std::uint8_t(std::uint8_t(total[j] >= limit[j]) | std::uint8_t(offGrid[j] >= half[j]));
            }
            // Eight lanes' marks at a time, so a chunk with none, or few, costs little.
            for (std::size_t g = 0; g < L; g += 8) {
                std::uint64_t marks = 0;
                std::memcpy(&marks, redo.data() + g, 8);
                for (; marks != 0; marks &= marks - 1) {
                    const std::size_t k = std::size_t(std::countr_zero(marks)) / 8;
                    const std::size_t j = g + (std::endian::native == std::endian::little ? k : 7 - k);
                    float t = start[j];
                    for (std::int32_t s = 0; s < steps; ++s) {
                        t = addSquare(t, mean[j], chunk[std::size_t(s)][j]);
                    }
                    total[j] = t;
                    const exact_detail::Binade b = exact_detail::binadeOf(t);
                    base[j] = b.base;
                    half[j] = b.half;
                    limit[j] = b.limit;
                }
            }
            i += steps;
        }
        bool open = false;
        for (std::size_t j = 0; j < L; ++j) {
            open = open || (wanted[j] && isUniformSpread(total[j] / count));
        }
        if (!open) {
            total.fill(std::numeric_limits<float>::infinity());
            break;
        }
    }
    std::array<float, L> spread{};
    for (std::size_t j = 0; j < L; ++j) {
        spread[j] = total[j] / count;
    }
    return spread;
}

} // namespace dimwell
