// dimwell-pattern PICTURE X Y
//
// Runs pattern mode's border detection on a saved picture of a window, for a
// point measured from the picture's bottom-left corner (decimals allowed,
// rounded as pattern mode rounds the pointer), and prints the region found as
// "x y width height" in the same coordinates.

#include "PictureFile.h"

#include "common/Log.h"
#include "pattern/ImageProcessor.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

constexpr const char* kUsage = "usage: dimwell-pattern PICTURE X Y";
constexpr const char* kHelp =
    "usage: dimwell-pattern PICTURE X Y\n"
    "\n"
    "Finds the panel around a point of a saved window picture, as Dimwell's\n"
    "pattern mode does, and prints it as \"x y width height\".\n"
    "\n"
    "  PICTURE  a picture of the window (PNG, PGM and the other formats Qt reads;\n"
    "           colour is turned to gray as window captures are)\n"
    "  X Y      the point, in pixels from the picture's bottom-left corner\n"
    "           (decimals allowed)\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "\n"
    "The region is printed in the same coordinates as the point. Exit status: 0 found,\n"
    "1 the picture cannot be read, 2 wrong arguments.\n";

class Silent final : public dimwell::LogSink {
public:
    void write(std::string_view) override {}
};

/// A finite decimal number and nothing else.
std::optional<double> parseCoordinate(const char* text) {
    if (*text == '\0') {
        return std::nullopt;
    }
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (*end != '\0' || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

int fail(int status, const std::string& message) {
    std::fprintf(stderr, "dimwell-pattern: %s\n", message.c_str());
    return status;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--help") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::printf("dimwell-pattern %s\n", DIMWELL_VERSION);
        return 0;
    }
    if (argc != 4) {
        std::fprintf(stderr, "%s\n", kUsage);
        return 2;
    }
    const auto x = parseCoordinate(argv[2]);
    const auto y = parseCoordinate(argv[3]);
    if (!x || !y) {
        return fail(2, std::string("X and Y must be numbers, not '") + argv[x ? 3 : 2] + "'");
    }
    const auto picture = dimwell::tool::readGrayPicture(argv[1]);
    if (!picture) {
        return fail(1, std::string("cannot read a picture from '") + argv[1] + "'");
    }
    Silent silent;
    const dimwell::Rect r = dimwell::ImageProcessor(dimwell::Logger(silent)).processImage({*x, *y}, *picture);
    std::printf("%.0f %.0f %.0f %.0f\n", r.x, r.y, r.width, r.height);
    return 0;
}
