#pragma once
// Gray pictures for the detection tests: uniform ground, full lines, and
// randomly furnished windows (panels, text-like specks, lines whose spread sits
// right at the threshold).

#include "pattern/GrayBitmap.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace dimwell::test {

inline void hline(GrayBitmap& b, std::int32_t row, std::uint8_t level, std::int32_t from = 0, std::int32_t to = -1) {
    to = to < 0 ? b.pixelsWide - 1 : to;
    for (std::int32_t c = std::max(from, 0); c <= std::min(to, b.pixelsWide - 1); ++c) {
        b.at(c, row) = level;
    }
}

inline void vline(GrayBitmap& b, std::int32_t column, std::uint8_t level, std::int32_t from = 0, std::int32_t to = -1) {
    to = to < 0 ? b.pixelsHigh - 1 : to;
    for (std::int32_t r = std::max(from, 0); r <= std::min(to, b.pixelsHigh - 1); ++r) {
        b.at(column, r) = level;
    }
}

/// 100 × 100 of level 200, black lines across at rows 10 and 90 and columns 20 and 80.
inline GrayBitmap framedPicture() {
    GrayBitmap b(100, 100, 200);
    hline(b, 10, 0);
    hline(b, 90, 0);
    vline(b, 20, 0);
    vline(b, 80, 0);
    return b;
}

/// n offsets from a base level (n a multiple of 50) whose spread is exactly 0.2
/// in real arithmetic: 16 % at +1, 2 % at +2, in shuffled order. Whether such a
/// probe passes depends on nothing but the rounding.
inline std::vector<std::uint8_t> thresholdOffsets(std::int32_t n, std::mt19937& rng) {
    std::vector<std::uint8_t> v(std::size_t(n), 0);
    const std::int32_t ones = n * 16 / 100;
    const std::int32_t twos = n * 2 / 100;
    std::fill_n(v.begin(), ones, std::uint8_t{1});
    std::fill_n(v.begin() + ones, twos, std::uint8_t{2});
    std::shuffle(v.begin(), v.end(), rng);
    return v;
}

/// A window of random size and content with the furniture detection meets.
inline GrayBitmap randomWindow(std::mt19937& rng, std::int32_t maxSide) {
    auto pick = [&](std::int32_t lo, std::int32_t hi) { return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng); };
    const std::int32_t W = pick(1, maxSide);
    const std::int32_t H = pick(1, maxSide);
    const auto ground = std::uint8_t(pick(0, 255));
    GrayBitmap b(W, H, ground);

    for (int p = pick(0, 4); p > 0; --p) {   // panels with 1-pixel borders
        const std::int32_t x0 = pick(0, W - 1), x1 = pick(x0, W - 1);
        const std::int32_t y0 = pick(0, H - 1), y1 = pick(y0, H - 1);
        const auto border = std::uint8_t(pick(0, 255));
        if (pick(0, 2) == 0) {
            const auto inside = std::uint8_t(pick(0, 255));
            for (std::int32_t r = y0; r <= y1; ++r) hline(b, r, inside, x0, x1);
        }
        hline(b, y0, border, x0, x1);
        hline(b, y1, border, x0, x1);
        vline(b, x0, border, y0, y1);
        vline(b, x1, border, y0, y1);
    }
    for (int s = pick(0, W * H / 8); s > 0; --s) {   // text-like specks
        b.at(pick(0, W - 1), pick(0, H - 1)) = std::uint8_t(pick(0, 255));
    }
    for (int l = pick(0, 3); l > 0; --l) {   // nearly even lines, off by one here and there
        const bool across = pick(0, 1) == 0;
        const auto level = std::uint8_t(pick(0, 253));
        const std::int32_t at = pick(0, (across ? H : W) - 1);
        const std::int32_t len = across ? W : H;
        const std::int32_t odd = pick(0, std::max(1, len / 3));
        std::vector<std::uint8_t> offs(std::size_t(len), 0);
        for (std::int32_t i = 0; i < odd; ++i) offs[std::size_t(pick(0, len - 1))] = std::uint8_t(pick(1, 2));
        if (len >= 53 && pick(0, 1) == 0) {   // an exact-0.2 stretch between two framing lines
            const std::int32_t n = (len - 3) / 50 * 50;
            const auto t = thresholdOffsets(n, rng);
            std::fill(offs.begin(), offs.end(), std::uint8_t{0});
            std::copy(t.begin(), t.end(), offs.begin() + 1);
        }
        for (std::int32_t i = 0; i < len; ++i) {
            const auto v = std::uint8_t(level + offs[std::size_t(i)]);
            across ? (void)(b.at(i, at) = v) : (void)(b.at(at, i) = v);
        }
    }
    return b;
}

} // namespace dimwell::test

namespace dimwell::test {

/// A panel framed so that its column probes and full row probes are exactly
/// n = 50, 100 or 150 long, crossed by columns and rows whose spread is 0.2 in
/// real arithmetic: every such probe is decided by the rounding alone.
struct ThresholdPanel {
    GrayBitmap picture;
    std::int32_t x = 0;
    std::int32_t y = 0;
};

inline ThresholdPanel thresholdPanel(std::mt19937& rng) {
    auto pick = [&](std::int32_t lo, std::int32_t hi) { return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng); };
    const std::int32_t n = 50 * pick(1, 3);
    const std::int32_t a = pick(0, 12);            // low row line
    const std::int32_t c = pick(0, 12);            // low column line
    const std::int32_t W = c + n + 4 + pick(0, 40);
    const std::int32_t H = a + n + 3 + pick(0, 40);
    const auto ground = std::uint8_t(pick(100, 255));
    GrayBitmap b(W, H, ground);
    hline(b, a, 0);
    hline(b, a + n + 2, 0);
    vline(b, c, 0);
    vline(b, c + n + 3, 0);
    for (int k = pick(1, 6); k > 0; --k) {
        const auto level = std::uint8_t(pick(0, 97));
        const auto offs = thresholdOffsets(n, rng);
        if (pick(0, 1) == 0) {
            const std::int32_t col = pick(c + 2, c + n + 2);
            for (std::int32_t i = 0; i < n; ++i) b.at(col, a + 1 + i) = std::uint8_t(level + offs[std::size_t(i)]);
        } else {
            const std::int32_t row = pick(a + 2, a + n);
            for (std::int32_t i = 0; i < n; ++i) b.at(c + 2 + i, row) = std::uint8_t(level + offs[std::size_t(i)]);
        }
    }
    return {std::move(b), pick(c + 1, c + n + 2), pick(a + 1, a + n + 1)};
}

} // namespace dimwell::test
