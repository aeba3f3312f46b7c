// Window tracking: the hole follows the tracked window's moves and resizes until a
// mode or a close stops it; selection mode does not.

#include "Harness.h"

namespace dimwell::test {
namespace {

constexpr std::int32_t kPid = 55;

struct Tracking : TwoDisplays {
    SimElement ax;
    void SetUp() override {
        desk.windowServer.addBack({kPid, {100, 100, 400, 300}, 0, "Editor", 0});
        ax = desk.accessibility.addWindow(kPid, {100, 100, 400, 300});
        pointer(200, 600);
        c().focusWindow();
        ASSERT_TRUE(c().addedObserver());
    }
    Rect cocoa(const Rect& tl) { return topLeftToCocoa(tl, 900); }
};

TEST_F(Tracking, MovesAndResizesPutTheHoleOnTheNewRectangle) {
    desk.accessibility.moveWindow(ax, {300, 200, 400, 300});
    EXPECT_EQ(hole(0), cocoa({300, 200, 400, 300}));
    desk.accessibility.resizeWindow(ax, {300, 200, 500, 350});
    EXPECT_EQ(hole(0), cocoa({300, 200, 500, 350}));
    EXPECT_EQ(desk.log.count("window moved"), 2);
}

// Every conversion reads the main screen's height of its moment: a tracked move,
// a window-mode press and a selection press.
TEST_F(Tracking, ConversionsUseTheMainScreenHeightOfTheirMoment) {
    desk.displays.setMainScreenHeight(1000);
    desk.accessibility.moved(ax);
    EXPECT_EQ(hole(0), topLeftToCocoa({100, 100, 400, 300}, 1000));
    c().closeOverlay();
    pointer(200, 700);
    c().focusWindow();
    EXPECT_EQ(hole(0), topLeftToCocoa({100, 100, 400, 300}, 1000));
    c().setMouseInput();
    event(EventType::LeftMouseDown, 100, 200);
    EXPECT_EQ(c().allWindows()[0]->initialLocation(), (Point{100, 799}));
}

struct Stopper {
    const char* name;
    std::function<void(Tracking&)> run;
};

struct TrackingStoppedBy : Tracking, ::testing::WithParamInterface<Stopper> {};

TEST_P(TrackingStoppedBy, LaterMovesNoLongerMoveTheHole) {
    GetParam().run(*this);
    EXPECT_FALSE(c().addedObserver());
    EXPECT_TRUE(desk.accessibility.registrations().empty());
    const Rect before = hole(0);
    const bool visible = c().overlayVisible();
    desk.accessibility.moveWindow(ax, {700, 300, 400, 300});
    EXPECT_EQ(hole(0), before);
    EXPECT_EQ(c().overlayVisible(), visible);
    EXPECT_FALSE(desk.log.contains("window moved"));
}

INSTANTIATE_TEST_SUITE_P(
    Operations, TrackingStoppedBy,
    ::testing::Values(Stopper{"viewMode", [](Tracking& fx) { fx.c().focusViews(); }},
                      Stopper{"mainViewMode", [](Tracking& fx) { fx.c().focusMainView(); }},
                      Stopper{"escapeKey",
                              [](Tracking& fx) {
                                  fx.c().setMouseInput();
                                  fx.key(53);
                              }},
                      Stopper{"closeHotkey", [](Tracking& fx) { fx.desk.hotkeys.deliver({0, 2}); }},
                      Stopper{"clickOut", [](Tracking& fx) { fx.event(EventType::LeftMouseDown, 1000, 50); }},
                      // The window under the pointer has no accessibility window: stopped, not restarted.
                      Stopper{"windowModeWithoutMatch",
                              [](Tracking& fx) {
                                  fx.ax->setFrame({1000, 700, 10, 10});
                                  fx.c().focusWindow();
                              }}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(Tracking, SelectionModeLeavesTrackingOn) {
    c().setMouseInput();
    event(EventType::LeftMouseDown, 1000, 100);
    event(EventType::LeftMouseDragged, 1100, 50);
    event(EventType::LeftMouseUp, 1100, 50);
    EXPECT_TRUE(c().addedObserver());
    desk.accessibility.moveWindow(ax, {300, 200, 400, 300});
    EXPECT_EQ(hole(0), cocoa({300, 200, 400, 300}));
}

TEST_F(Tracking, RestartingReplacesTheObserverAndStopIsHarmlessTwice) {
    c().focusWindow();
    c().focusWindow();
    EXPECT_EQ(desk.accessibility.observersAlive(), 1);
    EXPECT_EQ(desk.accessibility.registrations().size(), 2u);
    c().shutOffObserver();
    c().shutOffObserver();
    EXPECT_TRUE(desk.accessibility.registrations().empty());
    EXPECT_FALSE(c().addedObserver());
}

TEST_F(Tracking, FailedRegistrationStillCountsAsTrackingButDeliversNothing) {
    desk.accessibility.failRegistrations(true);
    c().focusWindow();
    EXPECT_TRUE(c().addedObserver());
    desk.accessibility.moveWindow(ax, {300, 200, 400, 300});
    EXPECT_EQ(hole(0), cocoa({100, 100, 400, 300}));
}

// A window that closed between the notification and the read has no rectangle;
// the hole stays where it was.
TEST_F(Tracking, NotificationForAWindowThatWentAwayKeepsTheHole) {
    ax->position.reset();
    desk.accessibility.moved(ax);
    EXPECT_EQ(hole(0), cocoa({100, 100, 400, 300}));
    EXPECT_TRUE(c().overlayVisible());
}

} // namespace
} // namespace dimwell::test
