#include "pattern/BorderDetection.h"

#include "pattern/Background.h"
#include "pattern/ProbeSpread.h"

#include <algorithm>
#include <array>
#include <optional>

namespace dimwell {

namespace {

/// Columns of one vertical-probe block: one load of a cache line per row serves them all.
constexpr std::int32_t kColumnBlock = 32;

/// Integer sums of a probe's pixels, or of the part read so far.
struct Moments {
    std::uint64_t count = 0;
    std::uint64_t sum = 0;
    std::uint64_t sumSquares = 0;

    /// Exact sum of squared deviations from their own mean, as a double. A part
    /// of a probe never has more than the whole.
    double m2() const {
        if (count == 0) {
            return 0.0;
        }
        // count × sumSquares ≤ 65025 count², far inside 64 bits for every count
        // certainlyNotUniform can decide on (fewer than 2^22 pixels).
        return double(count * sumSquares - sum * sum) / double(count);
    }
};

/// The first sums that stay exact as floats whatever the order of the additions.
constexpr std::uint64_t kExactFloatSums = std::uint64_t(1) << 24;

/// Decides a column or full row probe of n pixels once its integer sums are
/// known. `pixel(i)` reads the probe's pixels in increasing order, for the
/// rounding-exact steps; they run only when the sums cannot decide.
template <class PixelAt>
std::optional<float> uniformSpread(const Moments& all, std::int32_t n, const PixelAt& pixel) {
    const float count = float(n);
    if (all.sum < kExactFloatSums && all.sum * all.sum == all.count * all.sumSquares) {
        return 0.0f;   // one level throughout: the float mean is that level, every term 0
    }
    if (certainlyNotUniform(all.m2(), n)) {
        return std::nullopt;
    }
    float mean = 0.0f;
    if (all.sum < kExactFloatSums) {
        mean = float(all.sum) / count;   // every partial float sum is an exact integer
    } else {
        float sum = 0.0f;
        for (std::int32_t i = 0; i < n; ++i) {
            sum += float(pixel(i));
        }
        mean = sum / count;
    }
    // The total never decreases, so once it reaches the threshold it stays there.
    float total = 0.0f;
    for (std::int32_t i = 0; i < n;) {
        const std::int32_t stop = std::min(n, i + 256);
        for (; i < stop; ++i) {
            const std::uint8_t v = pixel(i);
            if (float(v) != mean) {
                total = addSquare(total, mean, v);
            }
        }
        if (!isUniformSpread(total / count)) {
            return std::nullopt;
        }
    }
    return total / count;
}

/// Ranges of a probe in the order it is read: outward from the position nearest
/// the anchor, alternately towards the high and the low end, in growing bands,
/// so a probe through busy content is usually rejected after a few pixels.
class OutwardBands {
public:
    OutwardBands(std::int32_t lo, std::int32_t hi, std::int32_t anchor, std::int32_t firstBand, std::int32_t maxBand)
        : lo_(lo), hi_(hi), up_(std::clamp(anchor, lo, hi)), down_(up_ - 1), band_(firstBand), maxBand_(maxBand) {}

    bool next(std::int32_t& first, std::int32_t& last) {
        const bool upLeft = up_ <= hi_;
        const bool downLeft = down_ >= lo_;
        if (!upLeft && !downLeft) {
            return false;
        }
        if ((upward_ && upLeft) || !downLeft) {
            first = up_;
            last = std::min(hi_, up_ + band_ - 1);
            up_ = last + 1;
        } else {
            last = down_;
            first = std::max(lo_, down_ - band_ + 1);
            down_ = first - 1;
            band_ = std::min(band_ * 2, maxBand_);
        }
        upward_ = !upward_;
        return true;
    }

private:
    std::int32_t lo_, hi_, up_, down_, band_, maxBand_;
    bool upward_ = true;
};

class FastWalk {
public:
    FastWalk(const Image& image, std::int32_t x, std::int32_t y)
        : img_(image), x_(x), y_(y), background_(std::uint8_t(backgroundLevel(image, x, y))) {}

    /// Steps 5a/5b: rows from `from` in direction `step` (±1) while inside the
    /// picture; the first whose short row probe is uniform, or nothing.
    std::optional<std::int32_t> firstShortRow(std::int32_t from, std::int32_t step) const {
        for (std::int32_t r = from; r >= 0 && r < img_.height; r += step) {
            const std::uint8_t* row = img_.rows[r];
            if (row[x_] != background_ && isUniformSpread(shortRowSpread(row, x_, img_.width))) {
                return r;
            }
        }
        return std::nullopt;
    }

    /// Steps 6a/6b: columns from `from` in direction `step` while inside the
    /// picture, probed over rows rowLow1 + 1 … rowHigh1 - 2.
    std::optional<std::int32_t> firstColumn(std::int32_t from, std::int32_t step, std::int32_t rowLow1,
                                            std::int32_t rowHigh1, float& spread) const {
        const std::int32_t lo = rowLow1 + 1;
        const std::int32_t hi = rowHigh1 - 2;
        if (hi < lo) {
            return std::nullopt;   // an empty probe is never uniform
        }
        for (std::int32_t c = from; c >= 0 && c < img_.width;) {
            const std::int32_t remaining = step > 0 ? img_.width - c : c + 1;
            const std::int32_t count = std::min(kColumnBlock, remaining);
            const std::int32_t first = step > 0 ? c : c - count + 1;
            if (const auto found = columnBlock(first, count, step, lo, hi, spread)) {
                return found;
            }
            c += step * count;
        }
        return std::nullopt;
    }

    /// Steps 7a/7b: rows from `from` in direction `step`, probed across columns
    /// colLow + 1 … colHigh - 2.
    std::optional<std::int32_t> firstFullRow(std::int32_t from, std::int32_t step, std::int32_t colLow,
                                             std::int32_t colHigh) const {
        const std::int32_t lo = colLow + 1;
        const std::int32_t hi = colHigh - 2;
        if (hi < lo) {
            return std::nullopt;
        }
        const std::int32_t n = hi - lo + 1;
        for (std::int32_t r = from; r >= 0 && r < img_.height; r += step) {
            const std::uint8_t* row = img_.rows[r];
            if (row[x_] != background_ && fullRowUniform(row, lo, hi, n)) {
                return r;
            }
        }
        return std::nullopt;
    }

private:
    bool fullRowUniform(const std::uint8_t* row, std::int32_t lo, std::int32_t hi, std::int32_t n) const {
        Moments read;
        OutwardBands bands(lo, hi, x_, 64, 4096);
        std::int32_t first = 0;
        std::int32_t last = 0;
        while (bands.next(first, last)) {
            std::uint32_t s1 = 0;
            std::uint32_t s2 = 0;   // at most 4096 × 255² per band
            for (std::int32_t c = first; c <= last; ++c) {
                const std::uint32_t v = row[c];
                s1 += v;
                s2 += v * v;
            }
            read.count += std::uint64_t(last - first + 1);
            read.sum += s1;
            read.sumSquares += s2;
            if (read.count < std::uint64_t(n) && certainlyNotUniform(read.m2(), n)) {
                return false;
            }
        }
        const std::uint8_t* probe = row + lo;
        return uniformSpread(read, n, [probe](std::int32_t i) { return probe[i]; }).has_value();
    }

    /// Probes the columns first … first + count - 1 together, row by row; returns
    /// the first uniform one in walk order.
    std::optional<std::int32_t> columnBlock(std::int32_t first, std::int32_t count, std::int32_t step,
                                            std::int32_t lo, std::int32_t hi, float& spread) const {
        const std::uint8_t* anchors = img_.rows[y_] + first;
        std::uint32_t alive = 0;
        for (std::int32_t j = 0; j < count; ++j) {
            if (anchors[j] != background_) {
                alive |= 1u << j;
            }
        }
        if (alive == 0) {
            return std::nullopt;
        }
        const std::int32_t n = hi - lo + 1;
        std::array<Moments, kColumnBlock> read{};
        OutwardBands bands(lo, hi, y_, 16, 256);
        std::int32_t top = 0;
        std::int32_t bottom = 0;
        std::uint64_t rowsRead = 0;
        while (alive != 0 && bands.next(bottom, top)) {
            std::array<std::uint32_t, kColumnBlock> s1{};
            std::array<std::uint32_t, kColumnBlock> s2{};   // at most 256 × 255² per band
            for (std::int32_t r = bottom; r <= top; ++r) {
                const std::uint8_t* p = img_.rows[r] + first;
                if (count == kColumnBlock) {
                    for (std::int32_t j = 0; j < kColumnBlock; ++j) {
                        const std::uint32_t v = p[j];
                        s1[std::size_t(j)] += v;
                        s2[std::size_t(j)] += v * v;
                    }
                } else {
                    for (std::int32_t j = 0; j < count; ++j) {
                        const std::uint32_t v = p[j];
                        s1[std::size_t(j)] += v;
                        s2[std::size_t(j)] += v * v;
                    }
                }
            }
            rowsRead += std::uint64_t(top - bottom + 1);
            for (std::int32_t j = 0; j < count; ++j) {
                Moments& m = read[std::size_t(j)];
                m.count = rowsRead;
                m.sum += s1[std::size_t(j)];
                m.sumSquares += s2[std::size_t(j)];
                if ((alive >> j & 1u) && rowsRead < std::uint64_t(n) && certainlyNotUniform(m.m2(), n)) {
                    alive &= ~(1u << j);
                }
            }
        }
        for (std::int32_t i = 0; i < count && alive != 0; ++i) {
            const std::int32_t j = step > 0 ? i : count - 1 - i;
            if (!(alive >> j & 1u)) {
                continue;
            }
            const std::int32_t column = first + j;
            const auto pixel = [this, lo, column](std::int32_t k) { return img_.rows[lo + k][column]; };
            if (const auto s = uniformSpread(read[std::size_t(j)], n, pixel)) {
                spread = *s;
                return column;
            }
        }
        return std::nullopt;
    }

    const Image& img_;
    std::int32_t x_;
    std::int32_t y_;
    std::uint8_t background_;
};

} // namespace

Rect findRegion(const Image& image, std::int32_t x, std::int32_t y, const Logger& log) {
    const std::int32_t W = image.width;
    const std::int32_t H = image.height;
    if (x < 0 || x >= W || y < 0 || y >= H) {
        return {0.0, 0.0, double(W), double(H)};
    }
    const FastWalk walk(image, x, y);

    const std::int32_t rowHigh1 = walk.firstShortRow(y + 1, +1).value_or(H);
    const std::int32_t rowLow1 = walk.firstShortRow(y - 1, -1).value_or(0);

    float spread = 0.0f;
    const std::int32_t colHigh = walk.firstColumn(x + 1, +1, rowLow1, rowHigh1, spread).value_or(W);
    std::int32_t colLow = 0;
    if (const auto line = walk.firstColumn(x - 1, -1, rowLow1, rowHigh1, spread)) {
        colLow = *line + 1;
        log("standard deviation of left: %3.3f", double(spread));
    }

    const std::int32_t rowHigh2 = walk.firstFullRow(y + 1, +1, colLow, colHigh).value_or(rowHigh1);
    std::int32_t rowLow2 = rowLow1;
    if (const auto line = walk.firstFullRow(y - 1, -1, colLow, colHigh)) {
        rowLow2 = *line + 1;
    }

    return {double(colLow), double(rowLow2), double(colHigh - colLow), double(rowHigh2 - rowLow2)};
}

} // namespace dimwell
