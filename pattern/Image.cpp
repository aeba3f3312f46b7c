#include "pattern/Image.h"

#include <cstddef>

namespace dimwell {

Image::~Image() { destroyImage(*this); }

void setupRows(Image& image) {
    const std::int32_t high = image.height > 0 ? image.height : 0;
    image.rows = std::make_unique<const std::uint8_t*[]>(std::size_t(high));
    const std::size_t stride = image.width > 0 ? std::size_t(image.width) : 0;
    for (std::int32_t r = 0; r < high; ++r) {
        image.rows[std::size_t(r)] = image.data + std::size_t(r) * stride;
    }
}

void destroyImage(Image& image) {
    if (image.owns) {
        // Taking the pixels back into a unique_ptr frees them as they were allocated.
        std::unique_ptr<const std::uint8_t[]> pixels(image.data);
    }
    image.data = nullptr;
    image.owns = false;
    image.rows.reset();
    image.width = 0;
    image.height = 0;
}

void adoptPixels(Image& image, std::unique_ptr<std::uint8_t[]> pixels, std::int32_t width, std::int32_t height) {
    destroyImage(image);
    image.owns = true;
    image.width = width;
    image.height = height;
    image.data = pixels.release();
    setupRows(image);
}

void borrowPixels(Image& image, const std::uint8_t* pixels, std::int32_t width, std::int32_t height) {
    destroyImage(image);
    image.owns = false;
    image.width = width;
    image.height = height;
    image.data = pixels;
    setupRows(image);
}

std::unique_ptr<ImageWrapper> ImageWrapper::imageWithCPPImage(std::unique_ptr<Image> image) {
    return imageWithCPPImage(image.release(), true);
}

std::unique_ptr<ImageWrapper> ImageWrapper::imageWithCPPImage(Image* image, bool ownsImage) {
    auto wrapper = std::make_unique<ImageWrapper>();
    wrapper->setImage(image);
    wrapper->setOwnsImage(ownsImage);
    return wrapper;
}

ImageWrapper::~ImageWrapper() {
    if (ownsImage_ && image_ != nullptr) {
        // The record's destructor runs destroyImage before the record is freed.
        std::unique_ptr<Image> doomed(image_);
    }
}

} // namespace dimwell
