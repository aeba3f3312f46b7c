#pragma once
// The pixel store of pattern detection: an 8-bit gray picture addressed through
// a table of row pointers, with a flag saying whether it owns its pixel memory.
// Every pixel access goes through the table: column c of row r is rows[r][c].

#include <cstdint>
#include <memory>

namespace dimwell {

struct Image {
    const std::uint8_t* data = nullptr;            ///< width × height bytes, freed by the record only when `owns`
    std::unique_ptr<const std::uint8_t*[]> rows;   ///< height entries; always the record's own
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool owns = false;

    Image() = default;
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    /// A record going away destroys its buffer, honouring `owns`.
    ~Image();
};

/// Builds the row table: entry i points to data + i × width. Call it once
/// `data`, `width` and `height` are final; every constructor calls it last.
void setupRows(Image& image);

/// Frees `data` if the record owns it, then the row table, and leaves the record
/// empty, so destroying it twice frees nothing twice.
void destroyImage(Image& image);

/// Hands freshly allocated pixels to an empty record, which then owns them.
void adoptPixels(Image& image, std::unique_ptr<std::uint8_t[]> pixels, std::int32_t width, std::int32_t height);

/// Points an empty record at pixels that stay the caller's (`owns` clear); the
/// caller keeps them alive for as long as the record is read.
void borrowPixels(Image& image, const std::uint8_t* pixels, std::int32_t width, std::int32_t height);

/// Lets a reference-holding caller keep a buffer and have it destroyed when the
/// wrapper goes, or not, as `ownsImage` says.
class ImageWrapper {
public:
    /// The wrapper owns the record and destroys it (and its buffer) when it goes.
    static std::unique_ptr<ImageWrapper> imageWithCPPImage(std::unique_ptr<Image> image);

    /// With `ownsImage` set the wrapper adopts `image`, which must be a record
    /// released from a std::unique_ptr; with it clear the record stays the caller's.
    static std::unique_ptr<ImageWrapper> imageWithCPPImage(Image* image, bool ownsImage);

    ImageWrapper() = default;
    ImageWrapper(const ImageWrapper&) = delete;
    ImageWrapper& operator=(const ImageWrapper&) = delete;
    ~ImageWrapper();

    Image* image() const { return image_; }
    void setImage(Image* image) { image_ = image; }
    bool ownsImage() const { return ownsImage_; }
    void setOwnsImage(bool ownsImage) { ownsImage_ = ownsImage; }

private:
    Image* image_ = nullptr;
    bool ownsImage_ = false;
};

} // namespace dimwell
