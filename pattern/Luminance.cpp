#include "pattern/Luminance.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dimwell {

namespace {

void grayRowScalar(const std::uint32_t* pixels, std::int32_t count, ChannelShifts shifts, std::uint8_t* out) {
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint32_t p = pixels[i];
        out[i] = grayLevel((p >> shifts.red) & 0xffu, (p >> shifts.green) & 0xffu, (p >> shifts.blue) & 0xffu);
    }
}

#if defined(__SSE2__)
/// Four pixels at a time: each pixel's bytes widened to 16 bits and multiplied by
/// the weight of the channel in that byte (pmaddwd), the two partial sums of a
/// pixel added. The same integer sum as grayLevel, so the same result. A 5K
/// capture is 15 million pixels; done one by one this costs more than the
/// detection itself.
void grayRowWide(const std::uint32_t* pixels, std::int32_t count, ChannelShifts shifts, std::uint8_t* out) {
    std::int16_t weight[4] = {0, 0, 0, 0};
    weight[shifts.red / 8] = std::int16_t(kRedWeight);
    weight[shifts.green / 8] = std::int16_t(kGreenWeight);
    weight[shifts.blue / 8] = std::int16_t(kBlueWeight);
    const __m128i weights = _mm_setr_epi16(weight[0], weight[1], weight[2], weight[3], weight[0], weight[1], weight[2],
                                           weight[3]);
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi32(16384);
    const auto four = [&](const std::uint32_t* p) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i a = _mm_madd_epi16(_mm_unpacklo_epi8(px, zero), weights);
        const __m128i b = _mm_madd_epi16(_mm_unpackhi_epi8(px, zero), weights);
        const __m128 af = _mm_castsi128_ps(a);
        const __m128 bf = _mm_castsi128_ps(b);
        const __m128i even = _mm_castps_si128(_mm_shuffle_ps(af, bf, _MM_SHUFFLE(2, 0, 2, 0)));
        const __m128i odd = _mm_castps_si128(_mm_shuffle_ps(af, bf, _MM_SHUFFLE(3, 1, 3, 1)));
        return _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(even, odd), half), 15);
    };
    std::int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i lo = _mm_packs_epi32(four(pixels + i), four(pixels + i + 4));
        const __m128i hi = _mm_packs_epi32(four(pixels + i + 8), four(pixels + i + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
    grayRowScalar(pixels + i, count - i, shifts, out + i);
}
#endif

/// Each channel a whole byte of its own.
bool byteAligned(ChannelShifts s) {
    return s.red % 8 == 0 && s.green % 8 == 0 && s.blue % 8 == 0 && s.red < 32 && s.green < 32 && s.blue < 32 &&
           s.red != s.green && s.red != s.blue && s.green != s.blue;
}

} // namespace

void grayRow(const std::uint32_t* pixels, std::int32_t count, ChannelShifts shifts, std::uint8_t* out) {
#if defined(__SSE2__)
    if (std::endian::native == std::endian::little && byteAligned(shifts)) {
        grayRowWide(pixels, count, shifts, out);
        return;
    }
#endif
    grayRowScalar(pixels, count, shifts, out);
}

} // namespace dimwell
