#pragma once
// A picture of one window's own content, as 8-bit gray.

#include "pattern/GrayBitmap.h"

#include <cstdint>
#include <optional>

namespace dimwell {

struct CapturedWindow {
    GrayBitmap bitmap;            ///< first row = the window's bottom row
    double pixelsPerPoint = 1.0;  ///< more than 1 on scaled displays
};

class WindowCapture {
public:
    virtual ~WindowCapture() = default;
    /// The window alone, without what covers it; nothing when it cannot be captured.
    virtual std::optional<CapturedWindow> captureGray(std::uint32_t windowNumber) = 0;
};

} // namespace dimwell
