#include "pattern/Background.h"

#include <algorithm>
#include <array>

namespace dimwell {

Span sampleSpan(std::int32_t position, std::int32_t size) {
    const std::int64_t p = position;
    const std::int64_t n = size;
    std::int64_t begin = 0;
    std::int64_t end = 0;
    if (p + 10 > n - 1) {
        begin = n - 22;
        end = n - 1;
    } else if (p - 10 < 0) {
        begin = 0;
        end = 21;
    } else {
        begin = p - 10;
        end = p + 10;
    }
    begin = std::max<std::int64_t>(begin, 0);
    end = std::min<std::int64_t>(end, n);
    if (end <= begin) {
        end = std::min<std::int64_t>(begin + 1, n);
    }
    return {std::int32_t(begin), std::int32_t(end)};
}

std::int32_t backgroundLevel(const Image& image, std::int32_t x, std::int32_t y) {
    const Span cols = sampleSpan(x, image.width);
    const Span rows = sampleSpan(y, image.height);
    std::array<std::uint32_t, 256> counts{};
    for (std::int32_t r = rows.begin; r < rows.end; ++r) {
        const std::uint8_t* row = image.rows[r];
        for (std::int32_t c = cols.begin; c < cols.end; ++c) {
            ++counts[row[c]];
        }
    }
    std::int32_t best = 0;
    for (std::int32_t level = 1; level < 256; ++level) {
        if (counts[std::size_t(level)] > counts[std::size_t(best)]) {
            best = level;
        }
    }
    return best;
}

} // namespace dimwell
