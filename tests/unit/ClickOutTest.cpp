// Click-out: a click on the veil closes the overlay and reaches nobody; a click in
// the hole, on an undimmed display, or with click-out off reaches the program below.

#include "Harness.h"

namespace dimwell::test {
namespace {

/// Stands in for the application delegate: it stores the switch and tells the controller.
struct Delegate : AppControllerDelegate {
    Harness* h = nullptr;
    std::vector<bool> calls;
    void setClickOut(bool on) override {
        calls.push_back(on);
        setBool(h->desk.defaults, prefkey::clickOut, on);
        h->c().setClickOut(on);
        h->c().toggleEventTap(on);
    }
};

// The hole is Cocoa (100, 100, 200, 200) on the main display (height 900), so
// top-left y = 900 - Cocoa y.
struct ClickOut : TwoDisplays {
    void show() { c().setUpWindowsForRect({100, 100, 200, 200}); }
    TapVerdict click(double x, double y) { return event(EventType::LeftMouseDown, x, y); }
};

struct ClickCase {
    const char* name;
    Point topLeft;
    bool passes;
};

struct ClickRows : ClickOut, ::testing::WithParamInterface<ClickCase> {};

TEST_P(ClickRows, InsideTheHolePassesElsewhereCloses) {
    show();
    EXPECT_EQ(click(GetParam().topLeft.x, GetParam().topLeft.y),
              GetParam().passes ? TapVerdict::Pass : TapVerdict::Swallow);
    EXPECT_EQ(c().overlayVisible(), GetParam().passes);
    EXPECT_EQ(desk.log.contains("click out click"), true);
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, ClickRows,
    ::testing::Values(ClickCase{"inside", {150, 750}, true}, ClickCase{"leftEdge", {100, 750}, true},
                      ClickCase{"bottomEdge", {150, 800}, true}, ClickCase{"rightEdge", {300, 750}, false},
                      ClickCase{"topEdge", {150, 600}, false}, ClickCase{"veil", {600, 300}, false},
                      ClickCase{"otherDisplay", {2000, 300}, false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(ClickOut, HoleSpanningTwoDisplaysPassesOnBothParts) {
    c().setUpWindowsForRect({1300, 100, 300, 200});
    EXPECT_EQ(click(1350, 750), TapVerdict::Pass);
    EXPECT_EQ(click(1500, 750), TapVerdict::Pass);
    EXPECT_TRUE(c().overlayVisible());
}

TEST_F(ClickOut, CurrentOnlyClickOnTheUndimmedDisplayPasses) {
    c().setSingleMonitorOnly(true);
    c().setUpWindowsForRect({2000, 100, 100, 100});
    EXPECT_EQ(click(600, 300), TapVerdict::Pass);
    EXPECT_TRUE(c().overlayVisible());
    EXPECT_EQ(click(3000, 300), TapVerdict::Swallow) << "the veil of the hole's own display";
    EXPECT_FALSE(c().overlayVisible());
}

// After a selection is cancelled the mouse-down tap stays on; with no mask window
// on screen every click must pass.
TEST_F(ClickOut, CancelledSelectionLetsEveryClickThrough) {
    c().setMouseInput();
    key(53);
    ASSERT_TRUE(tapOn(leftMouseDownMask));
    const int reads = desk.windowServer.reads();
    EXPECT_EQ(click(600, 300), TapVerdict::Pass);
    EXPECT_EQ(desk.windowServer.reads(), reads + 1);
}

// Owned by process, not by name: a program called like this one is another program.
TEST_F(ClickOut, OnlyTheProgramsOwnHighWindowsCountAsShown) {
    desk.windowServer.addFront({77, {0, 0, 1440, 900}, 1000, "Screensaver", 0});
    desk.windowServer.addFront({78, {0, 0, 1440, 900}, 1000, desk.bundle.processName(), 0});
    c().toggleEventTap(true);
    c().setClickOut(true);
    // The tap is on but no mask window is visible: the high window of another
    // program does not make the overlay count as shown.
    const SimTap* tap = desk.input.tap(leftMouseDownMask);
    EXPECT_EQ(tap->callback({EventType::LeftMouseDown, {600, 300}, 0}), TapVerdict::Pass);
    EXPECT_FALSE(desk.log.contains("click out click"));
}

TEST_F(ClickOut, ToggleAsksTheDelegateAndTellsTheSettingsWindow) {
    Delegate d;
    d.h = this;
    c().setDelegate(&d);
    int posted = 0;
    desk.notifications.addObserver(notification::toggleClickOut, [&] { ++posted; });
    c().toggleClickOut();
    EXPECT_EQ(d.calls, std::vector<bool>{false});
    EXPECT_FALSE(c().clickOut());
    EXPECT_EQ(posted, 1);
    c().toggleClickOut();
    EXPECT_EQ(d.calls, (std::vector<bool>{false, true}));
    EXPECT_TRUE(c().clickOut());
}

// Off, no click is ever swallowed; switched on while hidden, it waits for the next overlay.
TEST_F(ClickOut, TogglingOnWhileHiddenWaitsForTheNextOverlay) {
    c().setClickOut(false);
    show();
    EXPECT_FALSE(tapOn(leftMouseDownMask));
    EXPECT_EQ(desk.input.tap(leftMouseDownMask)->callback({EventType::LeftMouseDown, {600, 300}, 0}), TapVerdict::Pass);
    EXPECT_TRUE(c().overlayVisible());
    c().closeOverlay();
    c().toggleEventTap(true);
    EXPECT_FALSE(tapOn(leftMouseDownMask)) << "nothing shown";
    c().setClickOut(true);
    show();
    EXPECT_TRUE(tapOn(leftMouseDownMask));
    c().setClickOut(false);
    c().toggleEventTap(false);
    EXPECT_FALSE(tapOn(leftMouseDownMask));
    EXPECT_EQ(click(600, 300), TapVerdict::Pass);
    EXPECT_TRUE(c().overlayVisible());
}

TEST_F(ClickOut, TogglingOffDuringSelectionKeepsTheTapTheSelectionNeeds) {
    c().setMouseInput();
    c().setClickOut(false);
    c().toggleEventTap(false);
    EXPECT_TRUE(tapOn(leftMouseDownMask));
    EXPECT_EQ(click(100, 200), TapVerdict::Swallow);
    EXPECT_TRUE(c().allWindows()[0]->dragging());
}

} // namespace
} // namespace dimwell::test
