#pragma once
// The picture and point a border-detection fuzz input stands for: a size, a
// point mostly inside, a ground level, then lines across or down with a level
// and small deviations, and single pixels, whatever the bytes say. Shared by
// the fuzz target and the benchmark, which times the slowest input found.

#include "pattern/Image.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace dimwell::fuzz {

struct FuzzPicture {
    /// Rows apart from each other, exactly as wide as the picture, so
    /// AddressSanitizer reports any read outside it.
    std::vector<std::unique_ptr<std::uint8_t[]>> rows;
    Image image;
    std::int32_t x = 0;
    std::int32_t y = 0;
};

class FuzzBytes {
public:
    FuzzBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::int32_t int16() { return std::int16_t(std::uint16_t(byte()) | std::uint16_t(byte()) << 8); }
    bool empty() const { return pos_ >= size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

inline std::unique_ptr<FuzzPicture> decodePicture(const std::uint8_t* data, std::size_t size) {
    FuzzBytes in(data, size);
    auto p = std::make_unique<FuzzPicture>();
    const std::int32_t W = 1 + (std::int32_t(in.byte()) | (std::int32_t(in.byte() & 1) << 8));
    const std::int32_t H = 1 + (std::int32_t(in.byte()) | (std::int32_t(in.byte() & 1) << 8));
    // Points mostly inside, sometimes just outside or far away.
    const std::int32_t sx = in.int16();
    const std::int32_t sy = in.int16();
    const bool far = (sx & 0x4000) != 0;
    p->x = far ? sx : (sx % (W + 4) + W + 4) % (W + 4) - 2;
    p->y = far ? sy : (sy % (H + 4) + H + 4) % (H + 4) - 2;

    const std::uint8_t ground = in.byte();
    for (std::int32_t r = 0; r < H; ++r) {
        p->rows.push_back(std::make_unique<std::uint8_t[]>(std::size_t(W)));
        std::fill_n(p->rows.back().get(), W, ground);
    }
    auto& rows = p->rows;
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

    Image& image = p->image;
    image.width = W;
    image.height = H;
    image.owns = false;
    image.rows = std::make_unique<const std::uint8_t*[]>(std::size_t(H));
    for (std::int32_t r = 0; r < H; ++r) image.rows[std::size_t(r)] = rows[std::size_t(r)].get();
    return p;
}

} // namespace dimwell::fuzz
