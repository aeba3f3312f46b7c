#include "pattern/ProbeSpread.h"

namespace dimwell {

namespace {
constexpr std::int32_t kShortProbeReach = 19;
}

float shortRowSpread(const std::uint8_t* row, std::int32_t x, std::int32_t width) {
    std::uint8_t values[2 * kShortProbeReach + 1];
    std::int32_t n = 0;
    values[n++] = row[x];
    for (std::int32_t k = 1; k <= kShortProbeReach; ++k) {
        if (x + k < width) {
            values[n++] = row[x + k];
        }
        if (x - k >= 0) {
            values[n++] = row[x - k];
        }
    }
    float sum = 0.0f;
    for (std::int32_t i = 0; i < n; ++i) {
        sum += float(values[i]);
    }
    const float count = float(n);
    const float mean = sum / count;
    const float d0 = mean - float(values[0]);
    float total = d0 * d0;
    for (std::int32_t i = 1; i < n; ++i) {
        total = addSquare(total, mean, values[i]);
    }
    return total / count;
}

bool certainlyNotUniform(double m2, std::int64_t n) {
    const double slack = double(n + 4) * 0x1.0p-23;
    if (n <= 0 || slack >= 0.5) {
        return false;
    }
    // 0.2000001 sits above the float threshold (0.20000000298...) by far more
    // than the double arithmetic of this check can miss.
    return m2 * (1.0 - slack) >= 0.2000001 * double(n);
}

} // namespace dimwell
