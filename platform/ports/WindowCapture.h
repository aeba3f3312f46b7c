#pragma once
// A picture of one window's own content, as pattern mode reads it.

#include "pattern/GrayBitmap.h"

#include <cstdint>
#include <optional>

namespace dimwell {

struct CapturedWindow {
    GrayBitmap bitmap;            ///< the window as the user sees it, first row its bottom row
    double pixelsPerPoint = 1.0;  ///< capture pixels per point of the window's bounds
};

class WindowCapture {
public:
    virtual ~WindowCapture() = default;
    /// The window named by its window-list number, alone: no window in front of it,
    /// no overlay. Nothing when the window cannot be captured (it vanished, it is
    /// not mapped, the server refused).
    virtual std::optional<CapturedWindow> captureGray(std::uint32_t windowNumber) = 0;
};

} // namespace dimwell
