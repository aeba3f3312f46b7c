// The simulated desktop itself: the behaviour the other tests lean on.

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

namespace dimwell {
namespace {

TEST(SimDisplaysSpec, ParsesOffsetsWithSigns) {
    const auto rects = parseDisplaySpec("1440x900+0+0,1920x1080+1440-180");
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[1], (Rect{1440, -180, 1920, 1080}));
    EXPECT_THROW(parseDisplaySpec("1440x900"), std::invalid_argument);
    EXPECT_THROW(parseDisplaySpec("0x900+0+0"), std::invalid_argument);
}

TEST(SimDisplaysSpec, ReconfigureTellsEveryDisplayBeforeAndAfter) {
    SimDisplays d("100x100+0+0,100x100+100+0");
    std::vector<std::pair<DisplayId, std::uint32_t>> calls;
    d.setReconfigurationCallback([&](DisplayId id, std::uint32_t flags) {
        calls.emplace_back(id, flags);
        EXPECT_EQ(d.activeDisplays().size(), (flags & kDisplayBeginConfiguration) ? 2u : 1u);
    });
    d.reconfigure("100x100+0+0");
    const std::vector<std::pair<DisplayId, std::uint32_t>> expected = {
        {1, kDisplayBeginConfiguration}, {2, kDisplayBeginConfiguration}, {2, kDisplayRemove},
        {1, kDisplayMoved | kDisplaySetMode}};
    EXPECT_EQ(calls, expected);
}

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

struct NullPainter : SurfacePainter {
    void draw(Canvas&, const Rect&) override {}
};

TEST(SimWindowList, ShownMaskWindowsComeFirstAtTheShieldingLevel) {
    SimDesktop desk("1440x900+0+0");
    NullPainter painter;
    desk.windowServer.addBack({7, {0, 0, 10, 10}, 0, "Editor", 0});
    auto hidden = desk.windowFactory.createMaskSurface({0, 0, 1440, 900}, painter);
    EXPECT_EQ(desk.windowServer.onScreenWindows().size(), 1u);
    hidden->orderFront();
    const auto list = desk.windowServer.onScreenWindows();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].layer, kShieldingWindowLevel);
    EXPECT_EQ(list[0].ownerName, std::optional<std::string>("Dimwell"));
    EXPECT_EQ(list[1].ownerName, std::optional<std::string>("Editor"));
    hidden.reset();
    EXPECT_EQ(desk.windowServer.onScreenWindows().size(), 1u);
}

} // namespace
} // namespace dimwell
