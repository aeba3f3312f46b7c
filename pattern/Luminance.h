#pragma once
// Colour to gray for captures and saved pictures: Rec. 601 luma weights
// (0.299, 0.587, 0.114) in 15-bit fixed point, rounded to nearest. The weights
// add up to exactly 32768, so gray stays gray and white stays 255.

#include <cstdint>

namespace dimwell {

inline constexpr std::uint32_t kRedWeight = 9798;
inline constexpr std::uint32_t kGreenWeight = 19235;
inline constexpr std::uint32_t kBlueWeight = 3735;

inline std::uint8_t grayLevel(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return std::uint8_t((kRedWeight * red + kGreenWeight * green + kBlueWeight * blue + 16384u) >> 15);
}

/// Where the 8-bit channels sit in a packed 32-bit pixel (0x00RRGGBB: 16, 8, 0).
struct ChannelShifts {
    std::uint32_t red = 16;
    std::uint32_t green = 8;
    std::uint32_t blue = 0;
};

/// One row of packed pixels to gray levels, exactly as grayLevel would give them.
void grayRow(const std::uint32_t* pixels, std::int32_t count, ChannelShifts shifts, std::uint8_t* out);

} // namespace dimwell
