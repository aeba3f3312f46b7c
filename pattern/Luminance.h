#pragma once
// Colour to gray for captures and saved pictures: Rec. 601 luma weights
// (0.299, 0.587, 0.114) in 16-bit fixed point, rounded to nearest. The weights
// add up to exactly 65536, so gray stays gray and white stays 255.

#include <cstdint>

namespace dimwell {

inline std::uint8_t grayLevel(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return std::uint8_t((19595u * red + 38470u * green + 7471u * blue + 32768u) >> 16);
}

/// Where the 8-bit channels sit in a packed 32-bit pixel (0x00RRGGBB: 16, 8, 0).
struct ChannelShifts {
    std::uint32_t red = 16;
    std::uint32_t green = 8;
    std::uint32_t blue = 0;
};

/// One row of packed pixels to gray levels.
void grayRow(const std::uint32_t* pixels, std::int32_t count, ChannelShifts shifts, std::uint8_t* out);

} // namespace dimwell
