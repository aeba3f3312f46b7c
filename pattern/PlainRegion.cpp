#include "pattern/PlainRegion.h"

#include "pattern/Background.h"
#include "pattern/ProbeSpread.h"

#include <algorithm>

namespace dimwell {

namespace {

class PlainWalk {
public:
    PlainWalk(const Image& image, std::int32_t x, std::int32_t y, const ProbeObserver& observe)
        : img_(image), x_(x), y_(y), observe_(observe), background_(backgroundLevel(image, x, y)) {}

    bool shortRowPasses(std::int32_t r) const {
        if (img_.rows[r][x_] == background_) {
            return false;
        }
        report(ProbeTouch::Kind::ShortRow, r, std::max(x_ - 19, 0), std::min(x_ + 19, img_.width - 1));
        return isUniformSpread(shortRowSpread(img_.rows[r], x_, img_.width));
    }

    bool columnPasses(std::int32_t c, std::int32_t rowLow, std::int32_t rowHigh, float& spread) const {
        if (img_.rows[y_][c] == background_) {
            return false;
        }
        const std::int32_t n = rowHigh - rowLow - 2;
        if (n <= 0) {
            return false;
        }
        report(ProbeTouch::Kind::Column, c, rowLow + 1, rowHigh - 2);
        const auto pixel = [&](std::int32_t i) { return img_.rows[rowLow + 1 + i][c]; };
        spread = lineSpread(pixel, n);
        return isUniformSpread(spread);
    }

    bool fullRowPasses(std::int32_t r, std::int32_t colLow, std::int32_t colHigh) const {
        if (img_.rows[r][x_] == background_) {
            return false;
        }
        const std::int32_t n = colHigh - colLow - 2;
        if (n <= 0) {
            return false;
        }
        report(ProbeTouch::Kind::FullRow, r, colLow + 1, colHigh - 2);
        const std::uint8_t* row = img_.rows[r] + colLow + 1;
        const auto pixel = [row](std::int32_t i) { return row[i]; };
        return isUniformSpread(lineSpread(pixel, n));
    }

private:
    void report(ProbeTouch::Kind kind, std::int32_t line, std::int32_t from, std::int32_t to) const {
        if (observe_) {
            observe_({kind, line, from, to});
        }
    }

    const Image& img_;
    std::int32_t x_;
    std::int32_t y_;
    const ProbeObserver& observe_;
    std::int32_t background_;
};

} // namespace

Rect findRegionPlain(const Image& image, std::int32_t x, std::int32_t y, const Logger& log,
                     const ProbeObserver& observe) {
    const std::int32_t W = image.width;
    const std::int32_t H = image.height;
    if (x < 0 || x >= W || y < 0 || y >= H) {
        return {0.0, 0.0, double(W), double(H)};
    }
    const PlainWalk walk(image, x, y, observe);

    std::int32_t rowHigh1 = H;
    for (std::int32_t r = y + 1; r < H; ++r) {
        if (walk.shortRowPasses(r)) {
            rowHigh1 = r;
            break;
        }
    }
    std::int32_t rowLow1 = 0;
    for (std::int32_t r = y - 1; r >= 0; --r) {
        if (walk.shortRowPasses(r)) {
            rowLow1 = r;
            break;
        }
    }

    float spread = 0.0f;
    std::int32_t colHigh = W;
    for (std::int32_t c = x + 1; c < W; ++c) {
        if (walk.columnPasses(c, rowLow1, rowHigh1, spread)) {
            colHigh = c;
            break;
        }
    }
    std::int32_t colLow = 0;
    for (std::int32_t c = x - 1; c >= 0; --c) {
        if (walk.columnPasses(c, rowLow1, rowHigh1, spread)) {
            colLow = c + 1;
            log("standard deviation of left: %3.3f", double(spread));
            break;
        }
    }

    std::int32_t rowHigh2 = rowHigh1;
    for (std::int32_t r = y + 1; r < H; ++r) {
        if (walk.fullRowPasses(r, colLow, colHigh)) {
            rowHigh2 = r;
            break;
        }
    }
    std::int32_t rowLow2 = rowLow1;
    for (std::int32_t r = y - 1; r >= 0; --r) {
        if (walk.fullRowPasses(r, colLow, colHigh)) {
            rowLow2 = r + 1;
            break;
        }
    }

    return {double(colLow), double(rowLow2), double(colHigh - colLow), double(rowHigh2 - rowLow2)};
}

} // namespace dimwell
