// Capture one window and find the panel around the pointer in it.

#include "overlay/AppController.h"
#include "pattern/PatternHole.h"
#include "platform/ports/WindowCapture.h"

namespace dimwell {

Rect AppController::captureAndDetect(std::uint32_t windowNumber, Point pointer, Point origin, const Rect& window) {
    const std::optional<CapturedWindow> capture = ports_.capture.captureGray(windowNumber);
    if (!capture) {
        // Nothing to look at: the whole window is the hole.
        log_("window %u could not be captured", static_cast<unsigned>(windowNumber));
        return window;
    }
    return detectHole(capture->bitmap, capture->pixelsPerPoint, pointer, origin, log_);
}

} // namespace dimwell
