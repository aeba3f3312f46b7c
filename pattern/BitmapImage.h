#pragma once
// Turning a captured gray bitmap into the detection's pixel buffer. Row 0 of the
// buffer is the bitmap's first row (the window's bottom row).

#include "pattern/GrayBitmap.h"
#include "pattern/Image.h"

#include <cstdint>
#include <memory>

namespace dimwell {

/// Fills an empty record with its own copy of the bitmap, `width` × `height`
/// pixels. A bitmap of another size is scaled to fit, nearest pixel; the
/// detection always passes the bitmap's own size, which copies row for row.
void imageFromBitmap(Image& image, const GrayBitmap& bitmap, std::int32_t width, std::int32_t height);

/// A new owning record made by imageFromBitmap, in a wrapper that owns it.
std::unique_ptr<ImageWrapper> wrappedImageFromBitmap(const GrayBitmap& bitmap, std::int32_t width, std::int32_t height);

/// The same picture without copying a pixel: the wrapper owns the record and its
/// row table, the rows point into the bitmap (`owns` clear). The bitmap must be
/// valid and outlive the wrapper.
std::unique_ptr<ImageWrapper> wrappedImageViewOfBitmap(const GrayBitmap& bitmap);

} // namespace dimwell
