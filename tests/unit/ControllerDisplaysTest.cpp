// The overlay controller's mask windows: one per display, the hole split across
// displays, "currentonly", closing, and displays that come and go.

#include "Harness.h"

namespace dimwell::test {
namespace {

struct Layout {
    const char* name;
    const char* spec;
    std::vector<Rect> frames;   ///< Cocoa space, in display order
};

struct WindowsPerDisplay : ::testing::TestWithParam<Layout> {};

TEST_P(WindowsPerDisplay, OneHiddenClickThroughWindowPerDisplay) {
    Harness h(GetParam().spec);
    h.setOpacity(0.6f);
    AppController& c = h.start();
    ASSERT_EQ(c.allWindows().size(), GetParam().frames.size());
    for (std::size_t i = 0; i < GetParam().frames.size(); ++i) {
        EXPECT_EQ(c.allWindows()[i]->frame(), GetParam().frames[i]) << i;
        SimMaskSurface& s = h.surface(i);
        EXPECT_FALSE(s.isVisible());
        EXPECT_TRUE(s.shieldingLevel());
        EXPECT_EQ(s.ignoresMouse(), true);
        EXPECT_EQ(s.collectionBehavior(), CollectionBehavior::Transient);
        EXPECT_EQ(h.view(i).overlayOpacity(), 0.6f);
    }
    EXPECT_FALSE(c.overlayVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, WindowsPerDisplay,
    ::testing::Values(Layout{"one", "1440x900+0+0", {{0, 0, 1440, 900}}},
                      Layout{"sideBySide", kTwoDisplays, {{0, 0, 1440, 900}, {1440, 0, 1920, 1080}}},
                      // Below the main display in top-left space is below zero in Cocoa space.
                      Layout{"below", "1440x900+0+0,800x600+100+900", {{0, 0, 1440, 900}, {100, -600, 800, 600}}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(MirrorSets, OnlyTheDisplayThatMirrorsNoOtherGetsAWindow) {
    Harness h("1440x900+0+0,1440x900+0+0,1000x800+1440+0");
    h.desk.displays.mirror(2, 1);
    AppController& c = h.start();
    ASSERT_EQ(c.allWindows().size(), 2u);
    EXPECT_EQ(c.allWindows()[0]->frame(), (Rect{0, 0, 1440, 900}));
    EXPECT_EQ(c.allWindows()[1]->frame(), (Rect{1440, 100, 1000, 800}));
}

TEST(HoleSplit, TwoDisplaysEachGetTheirPartFromTheCallersRect) {
    Running h(kTwoDisplays);
    h.c().setUpWindowsForRect({1300, 100, 300, 200});
    EXPECT_EQ(h.hole(0), (Rect{1300, 100, 300, 200}));
    EXPECT_EQ(h.hole(1), (Rect{-140, 100, 300, 200}));
    EXPECT_EQ(h.c().currentWindow(), 1);
    EXPECT_TRUE(h.c().overlayVisible());
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(h.surface(i).isVisible());
        EXPECT_EQ(h.surface(i).displayCount(), 1) << "redrawn at once";
        EXPECT_FALSE(h.view(i).overlay());
    }
    // Read back: clear on both sides of the display edge, veiled next to it.
    EXPECT_EQ(h.surface(0).pixel(1439, 150).a, 0);
    EXPECT_EQ(h.surface(0).pixel(1299, 150).a, 204);
    EXPECT_EQ(h.surface(1).pixel(0, 150).a, 0);
    EXPECT_EQ(h.surface(1).pixel(159, 299).a, 0);
    EXPECT_EQ(h.surface(1).pixel(160, 150).a, 204);
    EXPECT_EQ(h.surface(1).pixel(10, 300).a, 204);
}

TEST(HoleSplit, ANewRectClearsTheOldHoleAndTheCrosshair) {
    Running h(kTwoDisplays);
    h.c().setUpWindowsForRect({2000, 100, 100, 100});
    h.view(1).setOverlay(true);
    // Touching edges share no area: a rectangle that ends where a display begins
    // does not involve that display.
    h.c().setUpWindowsForRect({1340, 100, 100, 100});
    EXPECT_TRUE(h.hole(1).isZero());
    EXPECT_FALSE(h.view(1).overlay());
    EXPECT_EQ(h.c().currentWindow(), 0);
    // Off every display: an unbroken mask everywhere, the current window kept.
    h.c().setUpWindowsForRect({5000, 5000, 10, 10});
    EXPECT_EQ(h.c().currentWindow(), 0);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(h.surface(i).isVisible());
        EXPECT_TRUE(h.hole(i).isZero());
    }
}

struct CurrentOnlyCase {
    const char* name;
    Rect r;
    bool shown0, shown1;
};

struct CurrentOnly : ::testing::TestWithParam<CurrentOnlyCase> {};

TEST_P(CurrentOnly, OnlyTouchedDisplaysAreShown) {
    Harness h(kTwoDisplays);
    h.setSwitch(prefkey::currentOnly, true);
    h.start();
    EXPECT_TRUE(h.c().singleMonitorOnly());
    h.c().setUpWindowsForRect(GetParam().r);
    EXPECT_EQ(h.surface(0).isVisible(), GetParam().shown0);
    EXPECT_EQ(h.surface(1).isVisible(), GetParam().shown1);
}

INSTANTIATE_TEST_SUITE_P(Rects, CurrentOnly,
                         ::testing::Values(CurrentOnlyCase{"second", {2000, 100, 100, 100}, false, true},
                                           CurrentOnlyCase{"main", {100, 100, 100, 100}, true, false},
                                           CurrentOnlyCase{"both", {1300, 100, 300, 200}, true, true},
                                           CurrentOnlyCase{"none", {9000, 100, 10, 10}, false, false}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ShowOverlay, UntrustedDoesNothingAtAll) {
    Running h(kTwoDisplays);
    h.desk.trust.setTrusted(false);
    const auto alerts = h.desk.alerts.shown().size();
    h.c().setUpWindowsForRect({100, 100, 100, 100});
    EXPECT_FALSE(h.c().overlayVisible());
    EXPECT_EQ(h.desk.alerts.shown().size(), alerts);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_FALSE(h.surface(i).isVisible());
        EXPECT_EQ(h.surface(i).paintCount(), 0);
    }
    EXPECT_FALSE(h.tapOn(leftMouseDownMask));
}

TEST(CloseOverlay, HidesEverythingAndIsIdempotent) {
    Running h(kTwoDisplays);
    h.c().setUpWindowsForRect({100, 100, 100, 100});
    for (int round = 1; round <= 2; ++round) {
        h.c().closeOverlay();
        EXPECT_FALSE(h.c().overlayVisible());
        EXPECT_FALSE(h.c().dragStart());
        EXPECT_FALSE(h.surface(0).isVisible());
        EXPECT_FALSE(h.surface(1).isVisible());
        EXPECT_FALSE(h.tapOn(leftMouseDownMask));
        EXPECT_FALSE(h.tapOn(keyDownMask));
        EXPECT_EQ(h.desk.log.count("close overlay"), round);
    }
    EXPECT_TRUE(h.desk.input.isCursorVisible());
}

TEST(CloseOverlay, CreatesTheKeyDownTapOnceTrustArrives) {
    Harness h;
    h.desk.trust.setTrusted(false);
    h.start();
    EXPECT_EQ(h.desk.input.tapsCreated(keyDownMask), 0);
    h.desk.trust.setTrusted(true);
    h.c().closeOverlay();
    ASSERT_NE(h.desk.input.tap(keyDownMask), nullptr);
    EXPECT_FALSE(h.tapOn(keyDownMask));
    h.c().closeOverlay();
    EXPECT_EQ(h.desk.input.tapsCreated(keyDownMask), 1);
}

// ---- displays that come and go ---------------------------------------------

TEST(Reconfiguration, UnplugAndPlugRebuildHiddenWindows) {
    Running h(kTwoDisplays);
    h.c().setUpWindowsForRect({1300, 100, 300, 200});
    const auto before = h.desk.windowFactory.live();

    h.desk.displays.reconfigure("1440x900+0+0");
    ASSERT_EQ(h.c().allWindows().size(), 1u);
    EXPECT_FALSE(h.surface(0).isVisible());
    EXPECT_TRUE(h.c().overlayVisible()) << "stays YES until the next close or show";
    EXPECT_TRUE(h.desk.log.contains("config changed"));
    for (SimMaskSurface* s : before) {
        EXPECT_TRUE(s->closed());
        EXPECT_TRUE(s->isDestroyed());
    }
    EXPECT_EQ(h.desk.windowFactory.live().size(), 1u);

    h.setOpacity(0.35f);
    h.desk.displays.reconfigure(kTwoDisplays);
    ASSERT_EQ(h.c().allWindows().size(), 2u);
    EXPECT_EQ(h.c().allWindows()[1]->frame(), (Rect{1440, 0, 1920, 1080}));
    EXPECT_EQ(h.view(1).overlayOpacity(), 0.35f) << "the stored opacity of that moment";
    EXPECT_EQ(h.desk.windowFactory.live().size(), 2u);
    h.c().setUpWindowsForRect({1300, 100, 300, 200});
    EXPECT_EQ(h.hole(1), (Rect{-140, 100, 300, 200}));
}

TEST(Reconfiguration, OnlyTheMainDisplaysNotificationRebuilds) {
    Running h(kTwoDisplays);
    const auto before = h.desk.windowFactory.live();
    h.desk.displays.fire(2, kDisplayMoved);
    EXPECT_EQ(h.desk.log.count("config changed"), 1);
    EXPECT_EQ(h.desk.windowFactory.live(), before);
    h.desk.displays.fire(1, kDisplayBeginConfiguration);
    EXPECT_NE(h.desk.windowFactory.live(), before);
}

// A controller that is gone releases its hotkeys, and nothing calls it back.
TEST(Reconfiguration, ControllerGoneReleasesItsHotkeysAndStopsTheCallbacks) {
    Harness h(kTwoDisplays);
    h.start().startHotkeys();
    h.controller.reset();
    EXPECT_TRUE(h.desk.hotkeys.registered().empty());
    h.desk.hotkeys.deliver({0x68746B36, 6});   // a press already on its way
    h.desk.displays.reconfigure("1440x900+0+0");
    h.desk.notifications.post(notification::opacityChange);
    EXPECT_TRUE(h.desk.windowFactory.live().empty());
}

} // namespace
} // namespace dimwell::test
