// The simulated desktop itself: the behaviour the other tests lean on.

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

namespace dimwell {
namespace {

TEST(SimCanvasPixels, CopyFillsAndBlendedLinesOnPixelCentres) {
    SimCanvas c(10, 10);
    c.fillCopy({0, 0, 10, 10}, Color::black(1.0));
    c.fillCopy({2.5, 2.5, 2, 2}, Color::clear());   // centres 2.5 (on the edge) and 3.5
    EXPECT_EQ(c.countPixels({0, 0, 0, 0}), 4);
    c.strokeLine({5, 0}, {5, 10}, 2.0, {1, 1, 1, 0.5});
    EXPECT_EQ(c.pixel(4, 0), (Rgba{128, 128, 128, 255}));
    EXPECT_EQ(c.pixel(5, 9), (Rgba{128, 128, 128, 255}));
    EXPECT_EQ(c.pixel(6, 0), (Rgba{0, 0, 0, 255}));
    c.setClip({0, 0, 5, 5});
    c.fillCopy({0, 0, 10, 10}, Color::clear());
    EXPECT_EQ(c.countPixels({0, 0, 0, 0}), 25);
}

TEST(SimInputTaps, NewestTapSeesTheEventFirstAndASwallowEndsItsWay) {
    SimInput in([] { return 900.0; });
    std::vector<int> seen;
    auto first = in.createTap(leftMouseDownMask, [&](const InputEvent&) { seen.push_back(1); return TapVerdict::Pass; });
    auto second = in.createTap(leftMouseDownMask, [&](const InputEvent&) { seen.push_back(2); return TapVerdict::Swallow; });
    EXPECT_EQ(in.inject(EventType::LeftMouseDown, {10, 20}), TapVerdict::Pass) << "disabled taps see nothing";
    first->enable(true);
    second->enable(true);
    EXPECT_EQ(in.inject(EventType::LeftMouseDown, {10, 20}), TapVerdict::Swallow);
    EXPECT_EQ(seen, std::vector<int>{2});
    EXPECT_EQ(in.mouseLocation(), (Point{10, 880}));
    second.reset();
    EXPECT_EQ(in.inject(EventType::LeftMouseDown, {10, 20}), TapVerdict::Pass);
    EXPECT_EQ(seen, (std::vector<int>{2, 1}));
    EXPECT_EQ(in.passed().size(), 2u);
    EXPECT_EQ(in.swallowed().size(), 1u);
}

} // namespace
} // namespace dimwell
