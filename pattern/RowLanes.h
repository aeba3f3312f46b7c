#pragma once
// Full row probes read side by side for the exact spreads: the probes lie in
// rows of their own, the spreads want pixel i of every probe together.

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace dimwell {

/// An 8 × 8 square of bytes, word j holding byte k at bits 8k, turned so that
/// word k holds byte j of every word: three rounds of swapping quarters, then
/// eighths, then single bytes.
inline void transposeBytes(std::array<std::uint64_t, 8>& w) {
    for (std::size_t j = 0; j < 4; ++j) {
        const std::uint64_t t = ((w[j] >> 32) ^ w[j + 4]) & 0x00000000ffffffffu;
        w[j] ^= t << 32;
        w[j + 4] ^= t;
    }
    for (std::size_t j : {0u, 1u, 4u, 5u}) {
        const std::uint64_t t = ((w[j] >> 16) ^ w[j + 2]) & 0x0000ffff0000ffffu;
        w[j] ^= t << 16;
        w[j + 2] ^= t;
    }
    for (std::size_t j : {0u, 2u, 4u, 6u}) {
        const std::uint64_t t = ((w[j] >> 8) ^ w[j + 1]) & 0x00ff00ff00ff00ffu;
        w[j] ^= t << 8;
        w[j + 1] ^= t;
    }
}

/// Row probes as lanes for exactSpreads: pixel i of each of L rows side by
/// side, gathered eight pixels of every row at a time, so each row is read a
/// word at a time.
template <std::size_t L>
class RowLanes {
    static_assert(L % 8 == 0, "rows are gathered eight at a time");

public:
    RowLanes(const std::array<const std::uint8_t*, L>& probe, std::int32_t n) : probe_(probe), n_(n) {}

    const std::uint8_t* operator()(std::int32_t i) {
        const std::int32_t k = i % kSteps;
        if (k == 0) {
            const std::size_t m = std::size_t(std::min(kSteps, n_ - i));
            for (std::size_t g = 0; g < L; g += 8) {
                std::array<std::uint64_t, 8> w{};
                for (std::size_t j = 0; j < 8; ++j) {
                    if (m == 8) {
                        std::memcpy(&w[j], probe_[g + j] + i, 8);
                    } else {
                        std::memcpy(&w[j], probe_[g + j] + i, m);   // nothing past the probe's end
                    }
                }
                if constexpr (std::endian::native == std::endian::little) {
                    transposeBytes(w);
                    for (std::size_t t = 0; t < std::size_t(kSteps); ++t) {
                        std::memcpy(square_[t].data() + g, &w[t], 8);
                    }
                } else {
                    for (std::size_t j = 0; j < 8; ++j) {
                        for (std::size_t t = 0; t < std::size_t(kSteps); ++t) {
                            square_[t][g + j] = probe_[g + j][std::size_t(i) + t];
                        }
                    }
                }
            }
        }
        return square_[std::size_t(k)].data();
    }

private:
    static constexpr std::int32_t kSteps = 8;
    const std::array<const std::uint8_t*, L>& probe_;
    std::int32_t n_;
    std::array<std::array<std::uint8_t, L>, kSteps> square_{};
};

} // namespace dimwell
