// findRegion over pictures of any size and content and points in and around
// them (see FuzzPicture.h): every row in an allocation of its own, so
// AddressSanitizer reports any read outside the picture; the result must lie
// inside the picture and match the plain probe-by-probe walk, log line included.
//
// With DIMWELL_FUZZ_SLOWEST=FILE set it also hunts for slow pictures: each input
// is timed, and the one whose detection takes longest is kept in FILE as a C++
// header like SlowestPicture.h, the slowest found so far, which the benchmark
// replays:
//   DIMWELL_FUZZ_SLOWEST=SlowestPicture.h fuzz_find_region -max_total_time=600 CORPUS_DIR

#include "FuzzPicture.h"

#include "pattern/BorderDetection.h"
#include "pattern/PlainRegion.h"

#include <algorithm>
#include <ctime>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace dimwell;

struct Lines final : LogSink {
    std::vector<std::string> lines;
    void write(std::string_view line) override { lines.emplace_back(line); }
};

[[noreturn]] void fault(const char* what) {
    std::fprintf(stderr, "fuzz_find_region: %s\n", what);
    std::abort();
}

/// The time a kept picture took, from its header's "took N ns" line; 0 when
/// there is none yet.
double keptNanoseconds(const char* path) {
    double ns = 0.0;
    if (std::FILE* f = std::fopen(path, "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f) != nullptr) {
            if (std::sscanf(line, "// took %lf ns", &ns) == 1) {
                break;
            }
        }
        std::fclose(f);
    }
    return ns;
}

/// Keeps the input whose detection took longest, here or in an earlier hunt
/// into the same file: the least processor time of three runs, which other work
/// on the machine does not inflate.
void keepIfSlowest(const char* path, const fuzz::FuzzPicture& p, const std::uint8_t* data, std::size_t size) {
    static double slowest = keptNanoseconds(path);
    struct Silent final : LogSink {
        void write(std::string_view) override {}
    } silent;
    const Logger quiet(silent);
    double best = 1e300;
    for (int i = 0; i < 3; ++i) {
        const std::clock_t start = std::clock();
        volatile double width = findRegion(p.image, p.x, p.y, quiet).width;   // volatile: the call stays
        const std::clock_t stop = std::clock();
        (void)width;
        best = std::min(best, double(stop - start) * 1e9 / CLOCKS_PER_SEC);
    }
    if (best <= slowest) return;
    slowest = best;
    if (std::FILE* f = std::fopen(path, "w")) {
        std::fprintf(f,
                     "#pragma once\n"
                     "// The slowest border-detection picture fuzz_find_region's hunt has found: %dx%d,\n"
                     "// the point at %d,%d. Written by DIMWELL_FUZZ_SLOWEST=FILE fuzz_find_region;\n"
                     "// decoded by decodePicture. Under the fuzzer's instrumentation it\n"
                     "// took %.0f ns\n\n"
                     "#include <cstdint>\n\nnamespace dimwell::fuzz {\n\n"
                     "inline constexpr std::uint8_t kSlowestPicture[] = {",
                     p.image.width, p.image.height, p.x, p.y, best);
        for (std::size_t i = 0; i < size; ++i) {
            std::fprintf(f, "%s0x%02x", i == 0 ? "\n    " : i % 12 == 0 ? ",\n    " : ", ", data[i]);
        }
        std::fprintf(f, "};\n\n} // namespace dimwell::fuzz\n");
        std::fclose(f);
    }
    std::fprintf(stderr, "fuzz_find_region: slowest so far %dx%d at %d,%d: %.0f ns\n", p.image.width,
                 p.image.height, p.x, p.y, best);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto picture = fuzz::decodePicture(data, size);
    const Image& image = picture->image;
    const std::int32_t W = image.width;
    const std::int32_t H = image.height;
    const std::int32_t x = picture->x;
    const std::int32_t y = picture->y;

    Lines fastLines, plainLines;
    const Rect fast = findRegion(image, x, y, Logger(fastLines));
    const Rect plain = findRegionPlain(image, x, y, Logger(plainLines));
    if (!(fast == plain) || fastLines.lines != plainLines.lines) fault("findRegion differs from the plain walk");
    if (fast.x < 0 || fast.y < 0 || fast.maxX() > W || fast.maxY() > H) fault("region outside the picture");
    const bool inside = x >= 0 && y >= 0 && x < W && y < H;
    if (inside && (fast.x > x || fast.maxX() <= x || fast.y > y || fast.maxY() <= y)) fault("region misses the point");
    if (!inside && !(fast == Rect{0, 0, double(W), double(H)})) fault("a point outside gives the whole picture");

    static const char* const slowestPath = std::getenv("DIMWELL_FUZZ_SLOWEST");
    if (slowestPath != nullptr && *slowestPath != '\0') keepIfSlowest(slowestPath, *picture, data, size);
    return 0;
}
