#include "PictureFile.h"

#include "pattern/Luminance.h"

#include <QImage>
#include <QString>

#include <fcntl.h>
#include <unistd.h>

namespace dimwell::tool {

namespace {

/// Keeps the image decoders' own complaints about a broken file (libpng writes
/// straight to standard error) off the terminal: the caller reports the
/// failure in one line of its own.
class QuietStderr {
public:
    QuietStderr() : saved_(::dup(STDERR_FILENO)) {
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) {
            ::dup2(null, STDERR_FILENO);
        }
        if (null >= 0) {
            ::close(null);
        }
    }
    ~QuietStderr() {
        if (saved_ >= 0) {
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
        }
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_;
};

QImage decode(const std::string& path) {
    const QuietStderr quiet;
    return QImage(QString::fromStdString(path));
}

} // namespace

std::optional<GrayBitmap> readGrayPicture(const std::string& path) {
    QImage image = decode(path);
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) {
        return std::nullopt;
    }
    // RGB32 keeps gray levels as they are and drops any alpha: a window capture
    // is opaque.
    image = image.convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) {
        return std::nullopt;
    }
    GrayBitmap bitmap(image.width(), image.height());
    for (int r = 0; r < image.height(); ++r) {
        const auto* pixels = reinterpret_cast<const std::uint32_t*>(image.constScanLine(r));
        // The picture's top row is the bitmap's last.
        grayRow(pixels, image.width(), ChannelShifts{}, &bitmap.at(0, image.height() - 1 - r));
    }
    return bitmap;
}

} // namespace dimwell::tool
