#include "pattern/BorderDetection.h"

#include "pattern/Background.h"
#include "pattern/ExactSpreads.h"
#include "pattern/ProbeSpread.h"
#include "pattern/RowLanes.h"

#include <algorithm>
#include <array>
#include <bit>
#include <bitset>
#include <optional>

namespace dimwell {

namespace {

/// Columns of one vertical-probe block: every row of the block is fetched from
/// memory once for the sums and read again, from the cache, for the exact
/// spreads; a row's cache lines, and the lookup of its page, serve all of its
/// columns.
constexpr std::int32_t kColumnBlock = 128;

/// Rows ahead of a block's turn whose pixels are asked for early.
constexpr std::int32_t kPrefetchRows = 8;

/// Asks for the pixels first … last of a row ahead of their turn, where the
/// processor's own look-ahead does not follow the reads: a block walks down
/// rows a picture's width apart, and a row probe is read outward from the point
/// in both directions at once.
inline void prefetchRun(const std::uint8_t* row, std::int32_t first, std::int32_t last) {
#if defined(__GNUC__)
    for (std::int32_t c = first; c <= last; c += 64) {
        __builtin_prefetch(row + c);
    }
    if (first <= last) {
        __builtin_prefetch(row + last);
    }
#else
    (void)row;
    (void)first;
    (void)last;
#endif
}

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

/// The fewest neighbouring columns whose rounding-exact spreads are worked out
/// side by side: each is a chain of dependent additions, and running several at
/// once lets them overlap instead of waiting on each other.
constexpr std::int32_t kLanes = 16;

/// Full row probes waiting for the exact test together: enough that the rounds
/// of gathering their pixels and the chains of additions overlap well.
constexpr std::size_t kRowLanes = 64;

/// Whether the sums alone rule a probe out.
bool ruledOut(const Moments& all, std::int32_t n) { return certainlyNotUniform(all.m2(), n); }

/// One level throughout: its float mean is that level and its spread exactly 0.
bool constant(const Moments& all) {
    return all.sum < kExactFloatSums && all.sum * all.sum == all.count * all.sumSquares;
}

/// The float mean of a probe, as its pixels summed one by one in float give it.
template <class PixelAt>
float probeMean(const Moments& all, std::int32_t n, const PixelAt& pixel) {
    if (all.sum < kExactFloatSums) {
        return float(all.sum) / float(n);   // every partial float sum is an exact integer
    }
    float sum = 0.0f;
    for (std::int32_t i = 0; i < n; ++i) {
        sum += float(pixel(i));
    }
    return sum / float(n);
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

    /// First pass, rows: from `from` in direction `step` (±1) while inside the
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

    /// First pass, columns: from `from` in direction `step` while inside the
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

    /// Second pass, rows: from `from` in direction `step`, probed across columns
    /// colLow + 1 … colHigh - 2.
    std::optional<std::int32_t> firstFullRow(std::int32_t from, std::int32_t step, std::int32_t colLow,
                                             std::int32_t colHigh) const {
        const std::int32_t lo = colLow + 1;
        const std::int32_t hi = colHigh - 2;
        if (hi < lo) {
            return std::nullopt;
        }
        const std::int32_t n = hi - lo + 1;
        // Rows the sums could not rule out wait here, in walk order, for the exact test.
        std::array<std::int32_t, kRowLanes> waiting{};
        std::array<float, kRowLanes> mean{};
        std::int32_t lanes = 0;
        const auto decideWaiting = [&]() -> std::optional<std::int32_t> {
            std::array<const std::uint8_t*, kRowLanes> probe{};
            for (std::int32_t j = 0; j < std::int32_t(kRowLanes); ++j) {
                probe[std::size_t(j)] = img_.rows[waiting[std::size_t(j < lanes ? j : 0)]] + lo;
            }
            std::bitset<kRowLanes> wanted;
            for (std::int32_t j = 0; j < lanes; ++j) {
                wanted.set(std::size_t(j));
            }
            const auto spread = exactSpreads<kRowLanes>(wanted, n, mean, RowLanes<kRowLanes>(probe, n));
            for (std::int32_t j = 0; j < lanes; ++j) {
                if (isUniformSpread(spread[std::size_t(j)])) {
                    return waiting[std::size_t(j)];
                }
            }
            lanes = 0;
            return std::nullopt;
        };
        for (std::int32_t r = from; r >= 0 && r < img_.height; r += step) {
            const std::uint8_t* row = img_.rows[r];
            if (r + step >= 0 && r + step < img_.height) {
                // The next row's first bands.
                prefetchRun(img_.rows[r + step], std::max(lo, x_ - 64), std::min(hi, x_ + 63));
            }
            if (row[x_] == background_) {
                continue;
            }
            const auto sums = rowSums(row, lo, hi, n);
            if (!sums) {
                continue;
            }
            if (constant(*sums)) {
                // A line of one level: only rows already waiting can come first.
                if (lanes > 0) {
                    if (const auto line = decideWaiting()) {
                        return line;
                    }
                }
                return r;
            }
            const std::uint8_t* probe = row + lo;
            mean[std::size_t(lanes)] = probeMean(*sums, n, [probe](std::int32_t i) { return probe[i]; });
            waiting[std::size_t(lanes++)] = r;
            if (lanes == std::int32_t(kRowLanes)) {
                if (const auto line = decideWaiting()) {
                    return line;
                }
            }
        }
        if (lanes > 0) {
            return decideWaiting();
        }
        return std::nullopt;
    }

private:
    /// Sums of a full row probe, read outward from the point's column; nothing
    /// once the part read already rules the probe out.
    std::optional<Moments> rowSums(const std::uint8_t* row, std::int32_t lo, std::int32_t hi, std::int32_t n) const {
        Moments read;
        OutwardBands bands(lo, hi, x_, 64, 4096);
        std::int32_t first = 0;
        std::int32_t last = 0;
        while (bands.next(first, last)) {
            // The band after next, on this side of the point: read if this one leaves the probe standing.
            const std::int32_t ahead = 2 * (last - first + 1);
            if (first >= x_) {
                prefetchRun(row, last + 1, std::min(hi, last + ahead));
            } else {
                prefetchRun(row, std::max(lo, first - ahead), first - 1);
            }
            std::uint32_t s1 = 0;
            std::uint32_t s2 = 0;   // at most 4096 × 255² per band
            for (std::int32_t c = first; c <= last; ++c) {
                const std::uint32_t v = row[c];
                s1 += v;
                s2 += std::uint16_t(v * v);   // a square fits 16 bits: cheaper to vectorise
            }
            read.count += std::uint64_t(last - first + 1);
            read.sum += s1;
            read.sumSquares += s2;
            if (ruledOut(read, n)) {
                return std::nullopt;
            }
        }
        return read;
    }

    /// Probes the columns first … first + count - 1 together, row by row; returns
    /// the first uniform one in walk order.
    std::optional<std::int32_t> columnBlock(std::int32_t first, std::int32_t count, std::int32_t step,
                                            std::int32_t lo, std::int32_t hi, float& spread) const {
        const std::uint8_t* anchors = img_.rows[y_] + first;
        std::bitset<kColumnBlock> alive;
        for (std::int32_t j = 0; j < count; ++j) {
            if (anchors[j] != background_) {
                alive.set(std::size_t(j));
            }
        }
        if (alive.none()) {
            return std::nullopt;
        }
        const std::int32_t n = hi - lo + 1;
        std::array<Moments, kColumnBlock> read{};
        OutwardBands bands(lo, hi, y_, 16, 256);
        std::int32_t bottom = 0;
        std::int32_t top = 0;
        std::uint64_t rowsRead = 0;
        while (alive.any() && bands.next(bottom, top)) {
            std::array<std::uint32_t, kColumnBlock> s1{};
            std::array<std::uint32_t, kColumnBlock> s2{};   // at most 256 × 255² per band
            for (std::int32_t r = bottom; r <= top; ++r) {
                if (r + kPrefetchRows <= top) {
                    prefetchRun(img_.rows[r + kPrefetchRows], first, first + count - 1);
                }
                const std::uint8_t* p = img_.rows[r] + first;
                if (count == kColumnBlock) {
                    for (std::int32_t j = 0; j < kColumnBlock; ++j) {
                        const std::uint32_t v = p[j];
                        s1[std::size_t(j)] += v;
                        s2[std::size_t(j)] += std::uint16_t(v * v);
                    }
                } else {
                    for (std::int32_t j = 0; j < count; ++j) {
                        const std::uint32_t v = p[j];
                        s1[std::size_t(j)] += v;
                        s2[std::size_t(j)] += std::uint16_t(v * v);
                    }
                }
            }
            rowsRead += std::uint64_t(top - bottom + 1);
            for (std::int32_t j = 0; j < count; ++j) {
                Moments& m = read[std::size_t(j)];
                m.count = rowsRead;
                m.sum += s1[std::size_t(j)];
                m.sumSquares += s2[std::size_t(j)];
                if (alive[std::size_t(j)] && ruledOut(m, n)) {
                    alive.reset(std::size_t(j));
                }
            }
        }
        // The survivors in walk order: a column of one level passes as it
        // stands; those before the first such need the rounding-exact spread.
        std::bitset<kColumnBlock> wanted;
        std::optional<std::int32_t> level;
        for (std::int32_t i = 0; i < count && !level; ++i) {
            const std::int32_t j = step > 0 ? i : count - 1 - i;
            if (alive[std::size_t(j)]) {
                if (constant(read[std::size_t(j)])) {
                    level = j;
                } else {
                    wanted.set(std::size_t(j));
                }
            }
        }
        if (wanted.any()) {
            const auto exact = blockSpreads(first, count, wanted, read, lo, n);
            for (std::int32_t i = 0; i < count; ++i) {
                const std::int32_t j = step > 0 ? i : count - 1 - i;
                if (wanted[std::size_t(j)] && isUniformSpread(exact[std::size_t(j)])) {
                    spread = exact[std::size_t(j)];
                    return first + j;
                }
            }
        }
        if (level) {
            spread = 0.0f;
            return first + *level;
        }
        return std::nullopt;
    }

    /// Exact spreads of the `wanted` columns among first … first + count - 1,
    /// over rows lo … lo + n - 1; lane j is column first + j. The wanted columns
    /// are worked out in the narrowest aligned run of kLanes, kColumnBlock / 2
    /// or kColumnBlock columns that holds them all, a row of it at a time.
    std::array<float, kColumnBlock> blockSpreads(std::int32_t first, std::int32_t count,
                                                 const std::bitset<kColumnBlock>& wanted,
                                                 const std::array<Moments, kColumnBlock>& read, std::int32_t lo,
                                                 std::int32_t n) const {
        std::array<float, kColumnBlock> mean{};
        std::int32_t lowest = kColumnBlock;
        std::int32_t highest = -1;
        for (std::int32_t j = 0; j < count; ++j) {
            if (wanted[std::size_t(j)]) {
                const std::int32_t c = first + j;
                mean[std::size_t(j)] =
                    probeMean(read[std::size_t(j)], n, [this, lo, c](std::int32_t k) { return img_.rows[lo + k][c]; });
                lowest = std::min(lowest, j);
                highest = std::max(highest, j);
            }
        }
        std::array<float, kColumnBlock> spread{};
        const auto within = [&]<std::size_t L>() {
            const std::int32_t run = lowest / std::int32_t(L) * std::int32_t(L);
            if (run != highest / std::int32_t(L) * std::int32_t(L)) {
                return false;
            }
            std::array<float, L> runMean{};
            std::bitset<L> runWanted;
            for (std::size_t j = 0; j < L && run + std::int32_t(j) < count; ++j) {
                runMean[j] = mean[std::size_t(run) + j];
                runWanted[j] = wanted[std::size_t(run) + j];
            }
            const auto s = columnSpreads<L>(first + run, count - run, runWanted, runMean, lo, n);
            std::copy(s.begin(), s.end(), spread.begin() + run);
            return true;
        };
        if (!within.template operator()<std::size_t(kLanes)>() &&
            !within.template operator()<std::size_t(kColumnBlock / 2)>()) {
            within.template operator()<std::size_t(kColumnBlock)>();
        }
        return spread;
    }

    /// Exact spreads of the L columns from c0 (of which `width` lie in the
    /// picture) over rows lo … lo + n - 1.
    template <std::size_t L>
    std::array<float, L> columnSpreads(std::int32_t c0, std::int32_t width, const std::bitset<L>& wanted,
                                       const std::array<float, L>& mean, std::int32_t lo, std::int32_t n) const {
        const std::uint8_t* const* rows = img_.rows.get() + lo;
        if (c0 + std::int32_t(L) <= img_.width) {
            return exactSpreads<L>(wanted, n, mean, [rows, c0, n](std::int32_t k) {
                if (k + kPrefetchRows < n) {
                    prefetchRun(rows[k + kPrefetchRows], c0, c0 + std::int32_t(L) - 1);
                }
                return rows[k] + c0;
            });
        }
        // At the picture's right edge the run is copied, so nothing past a row is read.
        const std::int32_t inside = std::min(std::int32_t(L), width);
        std::array<std::uint8_t, L> part{};
        return exactSpreads<L>(wanted, n, mean, [rows, c0, inside, &part](std::int32_t k) {
            std::copy_n(rows[k] + c0, inside, part.begin());
            return part.data();
        });
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
