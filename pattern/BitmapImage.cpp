#include "pattern/BitmapImage.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace dimwell {

void imageFromBitmap(Image& image, const GrayBitmap& bitmap, std::int32_t width, std::int32_t height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    const std::size_t w = std::size_t(width);
    const std::size_t h = std::size_t(height);
    auto pixels = std::make_unique_for_overwrite<std::uint8_t[]>(w * h);

    const bool usable = bitmap.isValid() && bitmap.pixelsWide > 0 && bitmap.pixelsHigh > 0;
    if (!usable) {
        std::fill_n(pixels.get(), w * h, std::uint8_t{0});
    } else if (bitmap.pixelsWide == width && bitmap.pixelsHigh == height) {
        if (w * h > 0) {
            std::memcpy(pixels.get(), bitmap.bytes.data(), w * h);
        }
    } else {
        const std::size_t sw = std::size_t(bitmap.pixelsWide);
        const std::size_t sh = std::size_t(bitmap.pixelsHigh);
        for (std::size_t r = 0; r < h; ++r) {
            const std::uint8_t* src = bitmap.bytes.data() + (r * sh / h) * sw;
            std::uint8_t* dst = pixels.get() + r * w;
            for (std::size_t c = 0; c < w; ++c) {
                dst[c] = src[c * sw / w];
            }
        }
    }
    adoptPixels(image, std::move(pixels), width, height);
}

std::unique_ptr<ImageWrapper> wrappedImageFromBitmap(const GrayBitmap& bitmap, std::int32_t width, std::int32_t height) {
    auto image = std::make_unique<Image>();
    imageFromBitmap(*image, bitmap, width, height);
    return ImageWrapper::imageWithCPPImage(std::move(image));
}

std::unique_ptr<ImageWrapper> wrappedImageViewOfBitmap(const GrayBitmap& bitmap) {
    auto image = std::make_unique<Image>();
    if (bitmap.isValid()) {
        borrowPixels(*image, bitmap.bytes.data(), bitmap.pixelsWide, bitmap.pixelsHigh);
    } else {
        setupRows(*image);
    }
    return ImageWrapper::imageWithCPPImage(std::move(image));
}

} // namespace dimwell
