#include "pattern/Luminance.h"

namespace dimwell {

void grayRow(const std::uint32_t* pixels, std::int32_t count, ChannelShifts shifts, std::uint8_t* out) {
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint32_t p = pixels[i];
        out[i] = grayLevel((p >> shifts.red) & 0xffu, (p >> shifts.green) & 0xffu, (p >> shifts.blue) & 0xffu);
    }
}

} // namespace dimwell
