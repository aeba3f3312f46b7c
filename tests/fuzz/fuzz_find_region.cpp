// findRegion over pictures of any size and content and points in and around
// them: every row in an allocation of its own, so AddressSanitizer reports any
// read outside the picture; the result must lie inside the picture and match
// the plain probe-by-probe walk, log line included.

#include "pattern/BorderDetection.h"
#include "pattern/Image.h"
#include "pattern/PlainRegion.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace dimwell;

struct Lines final : LogSink {
    std::vector<std::string> lines;
    void write(std::string_view line) override { lines.emplace_back(line); }
};

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::int32_t int16() { return std::int16_t(std::uint16_t(byte()) | std::uint16_t(byte()) << 8); }
    bool empty() const { return pos_ >= size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

[[noreturn]] void fault(const char* what) {
    std::fprintf(stderr, "fuzz_find_region: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    const std::int32_t W = 1 + (std::int32_t(in.byte()) | (std::int32_t(in.byte() & 1) << 8));
    const std::int32_t H = 1 + (std::int32_t(in.byte()) | (std::int32_t(in.byte() & 1) << 8));
    // Points mostly inside, sometimes just outside or far away.
    const std::int32_t sx = in.int16();
    const std::int32_t sy = in.int16();
    const bool far = (sx & 0x4000) != 0;
    const std::int32_t x = far ? sx : (sx % (W + 4) + W + 4) % (W + 4) - 2;
    const std::int32_t y = far ? sy : (sy % (H + 4) + H + 4) % (H + 4) - 2;

    // Rows apart from each other, exactly as wide as the picture.
    std::vector<std::unique_ptr<std::uint8_t[]>> rows;
    const std::uint8_t ground = in.byte();
    for (std::int32_t r = 0; r < H; ++r) {
        rows.push_back(std::make_unique<std::uint8_t[]>(std::size_t(W)));
        std::fill_n(rows.back().get(), W, ground);
    }
    // Then drawing: lines across or down with a level and small deviations, and
    // single pixels; whatever the bytes say.
    while (!in.empty()) {
        const std::uint8_t op = in.byte();
        const std::int32_t at = in.int16() & 0x7fff;
        const std::uint8_t level = in.byte();
        const std::uint8_t spread = in.byte();
        switch (op % 3) {
        case 0:
            for (std::int32_t c = 0; c < W; ++c) rows[std::size_t(at % H)][std::size_t(c)] = std::uint8_t(level + (c * 7 + spread) % (spread % 4 + 1) / 3);
            break;
        case 1:
            for (std::int32_t r = 0; r < H; ++r) rows[std::size_t(r)][std::size_t(at % W)] = std::uint8_t(level + (r * 5 + spread) % (spread % 4 + 1) / 3);
            break;
        default:
            rows[std::size_t(at % H)][std::size_t((at / H + spread) % W)] = level;
            break;
        }
    }

    Image image;
    image.width = W;
    image.height = H;
    image.owns = false;
    image.rows = std::make_unique<const std::uint8_t*[]>(std::size_t(H));
    for (std::int32_t r = 0; r < H; ++r) image.rows[std::size_t(r)] = rows[std::size_t(r)].get();

    Lines fastLines, plainLines;
    const Rect fast = findRegion(image, x, y, Logger(fastLines));
    const Rect plain = findRegionPlain(image, x, y, Logger(plainLines));
    if (!(fast == plain) || fastLines.lines != plainLines.lines) fault("findRegion differs from the plain walk");
    if (fast.x < 0 || fast.y < 0 || fast.maxX() > W || fast.maxY() > H) fault("region outside the picture");
    const bool inside = x >= 0 && y >= 0 && x < W && y < H;
    if (inside && (fast.x > x || fast.maxX() <= x || fast.y > y || fast.maxY() <= y)) fault("region misses the point");
    if (!inside && !(fast == Rect{0, 0, double(W), double(H)})) fault("a point outside gives the whole picture");
    return 0;
}
