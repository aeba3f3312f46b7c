#include "platform/sim/SimWindowCapture.h"

#include <utility>

namespace dimwell {

void SimWindowCapture::setPicture(std::uint32_t windowNumber, GrayBitmap bitmap, double pixelsPerPoint) {
    pictures_[windowNumber] = CapturedWindow{std::move(bitmap), pixelsPerPoint};
}

void SimWindowCapture::removePicture(std::uint32_t windowNumber) { pictures_.erase(windowNumber); }

std::optional<CapturedWindow> SimWindowCapture::captureGray(std::uint32_t windowNumber) {
    ++captures_;
    const auto it = pictures_.find(windowNumber);
    if (it == pictures_.end()) {
        return std::nullopt;
    }
    return it->second;
}

} // namespace dimwell
