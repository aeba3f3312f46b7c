// Border detection: the worked picture and its variants, the rounding-exact
// threshold, small pictures, the fast walk against the plain one, and the way
// from a capture to a hole in screen coordinates.

#include "PatternPictures.h"

#include "pattern/Background.h"
#include "pattern/BitmapImage.h"
#include "pattern/BorderDetection.h"
#include "pattern/ImageProcessor.h"
#include "pattern/PatternHole.h"
#include "pattern/PlainRegion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace dimwell {

void PrintTo(const Rect& r, std::ostream* os) { *os << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")"; }

namespace {

using test::framedPicture;
using test::hline;
using test::vline;

struct Lines final : LogSink {
    std::vector<std::string> lines;
    void write(std::string_view line) override { lines.emplace_back(line); }
};

Rect detect(const GrayBitmap& b, std::int32_t x, std::int32_t y, Lines* lines = nullptr) {
    Lines ignored;
    const Logger log(lines ? *lines : ignored);
    const auto wrapper = wrappedImageViewOfBitmap(b);
    return findRegion(*wrapper->image(), x, y, log);
}

// --- The worked picture and its variants ------------------------------------

struct WorkedCase {
    const char* name;
    std::function<void(GrayBitmap&)> change;
    std::int32_t x, y;
    Rect expected;
};

void PrintTo(const WorkedCase& c, std::ostream* os) { *os << c.name; }

class WorkedPicture : public ::testing::TestWithParam<WorkedCase> {};

TEST_P(WorkedPicture, FindsTheRegion) {
    GrayBitmap b = framedPicture();
    GetParam().change(b);
    EXPECT_EQ(detect(b, GetParam().x, GetParam().y), GetParam().expected);
}

const auto nothing = [](GrayBitmap&) {};
const Rect inside{21, 11, 59, 79};
const Rect whole{0, 0, 100, 100};

INSTANTIATE_TEST_SUITE_P(Variants, WorkedPicture, ::testing::Values(
    WorkedCase{"InsideTheFourLines", nothing, 50, 50, inside},
    WorkedCase{"IsolatedPixelIsNoLine", [](GrayBitmap& b) { b.at(50, 60) = 0; }, 50, 50, inside},
    // The short probe takes the segment; the full row probe of the second pass does not.
    WorkedCase{"PartialSegmentOnlyFoolsTheFirstPass", [](GrayBitmap& b) { hline(b, 70, 0, 31, 69); }, 50, 50, inside},
    WorkedCase{"PointOnTheLastRow", nothing, 50, 99, Rect{21, 91, 59, 9}},
    // A low row line only the first pass found is the region's first row.
    WorkedCase{"PointOnRowZero", nothing, 50, 0, Rect{21, 0, 59, 10}},
    WorkedCase{"PointOnALineSeesNothingBehindIt", nothing, 20, 50, Rect{0, 11, 80, 79}},
    WorkedCase{"LinesAtThePictureEdges", [](GrayBitmap& b) { hline(b, 0, 0); hline(b, 99, 0); vline(b, 0, 0); vline(b, 99, 0); },
               50, 50, inside},
    WorkedCase{"LinesInTheBackgroundLevelAreNeverFound",
               [](GrayBitmap& b) { for (std::int32_t r = 0; r < 100; ++r) hline(b, r, 200); hline(b, 50, 90, 0, 30); }, 50, 50, whole},
    WorkedCase{"UniformPicture", [](GrayBitmap& b) { b = GrayBitmap(100, 100, 37); }, 50, 50, whole},
    WorkedCase{"LeftOfThePicture", nothing, -1, 50, whole},
    WorkedCase{"AboveThePicture", nothing, 50, 100, whole}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(BorderDetection, LogsTheLeftLinesSpreadOnlyWhenItFindsOne) {
    Lines lines;
    detect(framedPicture(), 50, 50, &lines);
    EXPECT_EQ(lines.lines, std::vector<std::string>{"standard deviation of left: 0.000"});
    lines.lines.clear();
    detect(framedPicture(), 20, 50, &lines);
    EXPECT_TRUE(lines.lines.empty());
}

// --- Rounding decides probes whose spread is 0.2 in real arithmetic ----------

struct ThresholdColumn {
    const char* name;
    std::uint8_t base;
    std::vector<std::uint8_t> offsets;   // rows 11..60, bottom up
    bool isLine;
};

void PrintTo(const ThresholdColumn& c, std::ostream* os) { *os << c.name; }

class RoundingAtTheThreshold : public ::testing::TestWithParam<ThresholdColumn> {};

// Lines across at rows 10 and 62 make every column probe rows 11..60; column 80
// carries the offsets. It bounds the region exactly when its probe passes.
TEST_P(RoundingAtTheThreshold, DecidesTheColumnLikeTheFloatArithmetic) {
    GrayBitmap b(120, 80, 200);
    hline(b, 10, 0);
    hline(b, 62, 0);
    vline(b, 20, 0);
    const auto& p = GetParam();
    ASSERT_EQ(p.offsets.size(), 50u);
    for (std::int32_t i = 0; i < 50; ++i) {
        b.at(80, 11 + i) = std::uint8_t(p.base + p.offsets[std::size_t(i)]);
    }
    const double colHigh = p.isLine ? 80 : 120;
    EXPECT_EQ(detect(b, 50, 30), (Rect{21, 11, colHigh - 21, 51}));
}

std::vector<std::uint8_t> eightOnesThenATwo() {
    std::vector<std::uint8_t> v(50, 0);
    std::fill_n(v.begin(), 8, std::uint8_t{1});
    v[49] = 2;
    return v;
}

INSTANTIATE_TEST_SUITE_P(Cases, RoundingAtTheThreshold, ::testing::Values(
    // Float mean and narrowed total come out at 0.199999988: a line. In double it is not.
    ThresholdColumn{"DarkColumnPasses", 0, eightOnesThenATwo(), true},
    // The same offsets on level 100 come out at 0.200000197: no line. In double it is.
    ThresholdColumn{"BrightColumnFails", 100, eightOnesThenATwo(), false},
    // Narrowing the total after every addition gives 0.199999899; a total kept in
    // double and narrowed once would give 0.200000003 and no line.
    ThresholdColumn{"NarrowingEachStepMatters", 27,
                    {0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,
                     0, 0, 1, 0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0}, true},
    // Each difference rounded to float gives 0.200000003; kept in double, 0.199999988.
    ThresholdColumn{"DifferenceIsAFloat", 0,
                    {0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0,
                     0, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0}, false}),
    [](const auto& row) { return std::string(row.param.name); });

// --- Background level and sample window -------------------------------------

TEST(BackgroundLevel, EqualCountsGoToTheDarkerLevel) {
    GrayBitmap b(40, 40, 200);
    for (std::int32_t r = 0; r < 40; ++r) hline(b, r, 100, 0, 19);   // 10 × 20 of each in the window
    const auto wrapper = wrappedImageViewOfBitmap(b);
    EXPECT_EQ(backgroundLevel(*wrapper->image(), 20, 20), 100);
}

struct SpanCase {
    std::int32_t position, size;
    Span expected;
};

void PrintTo(const SpanCase& c, std::ostream* os) { *os << "position " << c.position << " of " << c.size; }

class SampleWindow : public ::testing::TestWithParam<SpanCase> {};

TEST_P(SampleWindow, StaysInsideThePicture) {
    EXPECT_EQ(sampleSpan(GetParam().position, GetParam().size), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SampleWindow, ::testing::Values(
    SpanCase{50, 100, {40, 60}}, SpanCase{10, 100, {0, 20}}, SpanCase{3, 100, {0, 21}},
    SpanCase{89, 100, {79, 99}}, SpanCase{90, 100, {78, 99}}, SpanCase{95, 100, {78, 99}},
    SpanCase{11, 22, {1, 21}}, SpanCase{12, 22, {0, 21}}, SpanCase{5, 30, {0, 21}},
    // Narrower than 22: cut to the picture, never empty.
    SpanCase{20, 21, {0, 20}}, SpanCase{4, 10, {0, 9}}, SpanCase{1, 2, {0, 1}}, SpanCase{0, 1, {0, 1}}));

// --- The fast walk against the plain one ------------------------------------

void expectSameAsPlain(const GrayBitmap& b, std::int32_t x, std::int32_t y) {
    Lines fastLines;
    Lines plainLines;
    const auto wrapper = wrappedImageViewOfBitmap(b);
    const Rect fast = findRegion(*wrapper->image(), x, y, Logger(fastLines));
    const Rect plain = findRegionPlain(*wrapper->image(), x, y, Logger(plainLines));
    ASSERT_EQ(fast, plain) << b.pixelsWide << "x" << b.pixelsHigh << " at " << x << "," << y;
    ASSERT_EQ(fastLines.lines, plainLines.lines);
    if (x >= 0 && y >= 0 && x < b.pixelsWide && y < b.pixelsHigh) {
        ASSERT_GE(fast.x, 0);
        ASSERT_GE(fast.y, 0);
        ASSERT_GT(fast.width, 0);
        ASSERT_GT(fast.height, 0);
        ASSERT_LE(fast.maxX(), b.pixelsWide);
        ASSERT_LE(fast.maxY(), b.pixelsHigh);
    }
}

struct RandomRun {
    const char* name;
    std::int32_t maxSide;
    int pictures;
};

void PrintTo(const RandomRun& c, std::ostream* os) { *os << c.name; }

class FastWalk : public ::testing::TestWithParam<RandomRun> {};

TEST_P(FastWalk, AgreesWithThePlainWalkOnRandomWindows) {
    std::mt19937 rng(20240607u + std::uint32_t(GetParam().maxSide));
    for (int i = 0; i < GetParam().pictures; ++i) {
        const GrayBitmap b = test::randomWindow(rng, GetParam().maxSide);
        for (int k = 0; k < 4; ++k) {
            const std::int32_t x = std::uniform_int_distribution<std::int32_t>(-1, b.pixelsWide)(rng);
            const std::int32_t y = std::uniform_int_distribution<std::int32_t>(-1, b.pixelsHigh)(rng);
            expectSameAsPlain(b, x, y);
            if (HasFatalFailure()) return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, FastWalk, ::testing::Values(
    RandomRun{"Tiny", 24, 4000}, RandomRun{"Small", 90, 3000}, RandomRun{"Large", 400, 150}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(FastWalkAtTheThreshold, AgreesWithThePlainWalkWhereOnlyRoundingDecides) {
    std::mt19937 rng(77u);
    for (int i = 0; i < 1500; ++i) {
        const auto panel = test::thresholdPanel(rng);
        expectSameAsPlain(panel.picture, panel.x, panel.y);
        if (HasFatalFailure()) return;
    }
}

// --- From a capture to the hole ----------------------------------------------

struct RoundCase {
    double value;
    std::int32_t expected;
};

void PrintTo(const RoundCase& c, std::ostream* os) { *os << c.value; }

class NearestPixel : public ::testing::TestWithParam<RoundCase> {};

TEST_P(NearestPixel, RoundsHalvesAwayFromZero) { EXPECT_EQ(nearestPixel(GetParam().value), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Cases, NearestPixel, ::testing::Values(
    RoundCase{50.4, 50}, RoundCase{60.6, 61}, RoundCase{0.5, 1}, RoundCase{2.5, 3}, RoundCase{-0.4, 0},
    RoundCase{-0.5, -1}, RoundCase{99.5, 100},
    RoundCase{1e12, -1}, RoundCase{-1e12, -1}, RoundCase{std::numeric_limits<double>::quiet_NaN(), -1}));

TEST(ImageProcessor, RoundsThePointBeforeDetecting) {
    Lines lines;
    const ImageProcessor processor{Logger(lines)};
    EXPECT_EQ(processor.processImage({50.4, 60.6}, framedPicture()), inside);
    // The last fraction of a pixel at the right edge rounds out of the picture.
    EXPECT_EQ(processor.processImage({99.6, 50.0}, framedPicture()), whole);
    // Rounded up onto the line at row 90: nothing bounds the region above any more.
    EXPECT_EQ(processor.processImage({50.0, 89.5}, framedPicture()), (Rect{21, 11, 59, 89}));
    EXPECT_EQ(processor.processImage({50.0, 89.49}, framedPicture()), inside);
}

TEST(ImageProcessor, MalformedBitmapGivesTheWholePicture) {
    Lines lines;
    GrayBitmap b(30, 20);
    b.bytes.pop_back();
    EXPECT_EQ(ImageProcessor(Logger(lines)).processImage({5, 5}, b), (Rect{0, 0, 30, 20}));
}

TEST(PatternHole, DetectionIsOffsetByTheWindowOrigin) {
    EXPECT_EQ(holeFromDetection({21, 11, 59, 79}, {100, 200}), (Rect{121, 211, 59, 79}));
    EXPECT_EQ(holeFromDetection({42, 22, 118, 158}, {100, 200}, 2.0), (Rect{121, 211, 59, 79}));
    EXPECT_EQ(holeFromDetection({21, 11, 59, 79}, {100, 200}, 0.0), (Rect{121, 211, 59, 79}));
}

/// The framed picture at twice the resolution: every pixel a 2 × 2 block.
GrayBitmap doubled(const GrayBitmap& b) {
    GrayBitmap out(b.pixelsWide * 2, b.pixelsHigh * 2);
    for (std::int32_t r = 0; r < out.pixelsHigh; ++r)
        for (std::int32_t c = 0; c < out.pixelsWide; ++c) out.at(c, r) = b.at(c / 2, r / 2);
    return out;
}

TEST(PatternHole, PointerToHoleOnAWindowInCocoaSpace) {
    Lines lines;
    const Logger log(lines);
    // Window at Cocoa (100, 200, 100, 100); the pointer reaches the detection as (50.4, 60.6).
    EXPECT_EQ(detectHole(framedPicture(), 1.0, {150.4, 260.6}, {100, 200}, log), (Rect{121, 211, 59, 79}));
    // Two pixels per point: the point goes in scaled, the region comes back in points.
    EXPECT_EQ(detectHole(doubled(framedPicture()), 2.0, {150.4, 260.6}, {100, 200}, log), (Rect{121, 211, 59, 79}));
    // Pointer off the window: the whole window.
    EXPECT_EQ(detectHole(framedPicture(), 1.0, {99.0, 260.0}, {100, 200}, log), (Rect{100, 200, 100, 100}));
}

} // namespace
} // namespace dimwell
