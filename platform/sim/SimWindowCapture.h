#pragma once
// Captures of the simulated desktop: a picture stored per window number.

#include "platform/ports/WindowCapture.h"

#include <cstdint>
#include <map>

namespace dimwell {

class SimWindowCapture final : public WindowCapture {
public:
    void setPicture(std::uint32_t windowNumber, GrayBitmap bitmap, double pixelsPerPoint = 1.0);
    void removePicture(std::uint32_t windowNumber);

    std::optional<CapturedWindow> captureGray(std::uint32_t windowNumber) override;

    /// How many captures were asked for, answered or not.
    int captureCount() const { return captures_; }

private:
    std::map<std::uint32_t, CapturedWindow> pictures_;
    int captures_ = 0;
};

} // namespace dimwell
