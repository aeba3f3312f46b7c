#pragma once
// An 8-bit gray picture of one window as captured: one byte per pixel, rows
// packed with no gap, and the FIRST row is the window's BOTTOM row, so column c
// and row r cover the point at offset (c, r) from the window's bottom-left corner.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dimwell {

struct GrayBitmap {
    std::int32_t pixelsWide = 0;
    std::int32_t pixelsHigh = 0;
    std::vector<std::uint8_t> bytes;   ///< pixelsWide × pixelsHigh gray levels, 0 black to 255 white

    GrayBitmap() = default;
    GrayBitmap(std::int32_t wide, std::int32_t high, std::uint8_t level = 0)
        : pixelsWide(wide), pixelsHigh(high),
          bytes(wide > 0 && high > 0 ? std::size_t(wide) * std::size_t(high) : 0, level) {}

    /// Sizes that are not negative and exactly as many bytes as they promise.
    bool isValid() const {
        return pixelsWide >= 0 && pixelsHigh >= 0 &&
               bytes.size() == std::size_t(pixelsWide) * std::size_t(pixelsHigh);
    }

    std::uint8_t at(std::int32_t column, std::int32_t row) const {
        return bytes[std::size_t(row) * std::size_t(pixelsWide) + std::size_t(column)];
    }
    std::uint8_t& at(std::int32_t column, std::int32_t row) {
        return bytes[std::size_t(row) * std::size_t(pixelsWide) + std::size_t(column)];
    }
};

} // namespace dimwell
