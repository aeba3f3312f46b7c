#pragma once
// The slowest border-detection picture fuzz_find_region's hunt has found: 503x509,
// the point at 244,0. Written by DIMWELL_FUZZ_SLOWEST=FILE fuzz_find_region;
// decoded by decodePicture. Under the fuzzer's instrumentation it
// took 9269000 ns

#include <cstdint>

namespace dimwell::fuzz {

inline constexpr std::uint8_t kSlowestPicture[] = {
    0xf6, 0x51, 0xfc, 0x23, 0xf6, 0x00, 0x02, 0x00, 0x07, 0x00, 0x00, 0x00,
    0x00, 0x2a, 0x4d, 0x00, 0x00, 0x00, 0x10, 0x00, 0x89, 0xbf, 0xff, 0xff,
    0xfa, 0x0e, 0x00};

} // namespace dimwell::fuzz
