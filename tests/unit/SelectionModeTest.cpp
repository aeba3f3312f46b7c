// Selection mode step by step, driven by injected events: crosshair, press, drag,
// release, Escape, and what reaches the programs underneath (judged by what
// passes the taps, not by which taps are on).

#include "Harness.h"

namespace dimwell::test {
namespace {

constexpr std::int64_t kEscape = 53;

// Two displays; main 1440x900, so a top-left location (x, y) is Cocoa (x, 900 - y).
struct Selection : TwoDisplays {
    void SetUp() override { pointer(100, 700); }
};

TEST_F(Selection, StartDimsEveryDisplayWithTheCrosshairUnderThePointer) {
    c().setMouseInput();
    EXPECT_TRUE(c().dragStart());
    EXPECT_FALSE(desk.input.isCursorVisible());
    EXPECT_EQ(desk.input.hideCount(), 1);
    EXPECT_EQ(desk.input.backgroundHidingAllowed(), 1);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(surface(i).isVisible());
        EXPECT_EQ(surface(i).collectionBehavior(), CollectionBehavior::Stationary);
        EXPECT_EQ(view(i).overlayOpacity(), 0.5f);
        EXPECT_TRUE(hole(i).isZero());
        EXPECT_EQ(surface(i).displayCount(), 1);
    }
    EXPECT_TRUE(view(0).overlay());
    EXPECT_EQ(view(0).mousePosition(), (Point{100, 700}));
    EXPECT_FALSE(view(1).overlay());
    EXPECT_EQ(surface(0).pixel(700, 300), (Rgba{0, 0, 0, 128}));
    EXPECT_EQ(surface(0).pixel(100, 300), (Rgba{255, 255, 0, 255}));
    EXPECT_EQ(surface(1).canvas().countPixels({0, 0, 0, 128}), 1920 * 1080);
}

TEST_F(Selection, SecondPressOnlyBringsTheWindowsToTheFront) {
    c().setMouseInput();
    event(EventType::MouseMoved, 2000, 300);
    const int displays = surface(0).displayCount();
    const int fronts = surface(0).orderFrontCount();
    c().setMouseInput();
    EXPECT_EQ(desk.input.hideCount(), 1);
    EXPECT_EQ(surface(0).displayCount(), displays);
    EXPECT_EQ(surface(0).orderFrontCount(), fronts + 1);
    EXPECT_TRUE(view(1).overlay()) << "the crosshair was not reset";
}

TEST_F(Selection, CrosshairFollowsThePointerFromDisplayToDisplay) {
    c().setMouseInput();
    EXPECT_EQ(event(EventType::MouseMoved, 2000, 300), TapVerdict::Swallow);
    EXPECT_EQ(c().chPoint(), (Point{2000, 300}));
    EXPECT_FALSE(view(0).overlay());
    EXPECT_TRUE(surface(0).needsDisplay());
    EXPECT_TRUE(view(1).overlay());
    EXPECT_EQ(view(1).mousePosition(), (Point{560, 599})) << "Hs - y - 1";
    EXPECT_TRUE(desk.input.passed().empty());
}

TEST_F(Selection, PressDragAndReleaseLeaveTheHoleWhereItWasDragged) {
    c().setMouseInput();
    EXPECT_EQ(event(EventType::LeftMouseDown, 100, 200), TapVerdict::Swallow);
    EXPECT_EQ(c().currentWindow(), 0);
    EXPECT_TRUE(c().allWindows()[0]->dragging());
    EXPECT_EQ(c().allWindows()[0]->initialLocation(), (Point{100, 699}));
    EXPECT_EQ(desk.input.postedMoves(), (std::vector<Point>{{100, 200}}));

    EXPECT_EQ(event(EventType::LeftMouseDragged, 300, 100), TapVerdict::Swallow);
    EXPECT_EQ(hole(0), (Rect{100, 699, 200, 101})) << "drag updates use Hs - y";

    EXPECT_EQ(event(EventType::LeftMouseUp, 300, 100), TapVerdict::Pass);
    EXPECT_FALSE(c().dragStart());
    EXPECT_TRUE(c().overlayVisible());
    EXPECT_TRUE(desk.input.isCursorVisible());
    EXPECT_EQ(hole(0), (Rect{100, 699, 200, 101}));
    EXPECT_EQ(view(0).overlayOpacity(), 0.8f);
    EXPECT_FALSE(view(0).overlay());
    EXPECT_TRUE(tapOn(leftMouseDownMask)) << "click-out is on";
    EXPECT_EQ(surface(0).pixel(150, 750).a, 0);
    EXPECT_EQ(surface(0).pixel(150, 650).a, 204);
    // The drag's events never reached the programs underneath; the release did.
    ASSERT_EQ(desk.input.passed().size(), 1u);
    EXPECT_EQ(desk.input.passed()[0].type, EventType::LeftMouseUp);
    // With the drag over, Escape belongs to the front program again.
    EXPECT_EQ(key(kEscape), TapVerdict::Pass);
    EXPECT_TRUE(c().overlayVisible());
}

TEST_F(Selection, DragOntoAnotherDisplayStaysClampedToTheFirst) {
    c().setMouseInput();
    event(EventType::LeftMouseDown, 1000, 400);
    event(EventType::LeftMouseDragged, 2500, 100);
    EXPECT_EQ(hole(0), (Rect{1000, 499, 440, 301}));
    EXPECT_EQ(view(0).mousePosition(), (Point{1440, 800}));
    EXPECT_TRUE(hole(1).isZero());
    event(EventType::LeftMouseUp, 2500, 100);
    EXPECT_EQ(c().currentWindow(), 0);
    EXPECT_EQ(hole(0), (Rect{1000, 499, 440, 301}));
}

TEST_F(Selection, PressWithoutMovementEndsWithNoHole) {
    c().setMouseInput();
    event(EventType::LeftMouseDown, 500, 500);
    event(EventType::LeftMouseUp, 500, 500);
    EXPECT_EQ(surface(0).canvas().countPixels({0, 0, 0, 204}), 1440 * 900);
}

struct EscapeStep {
    const char* name;
    bool pressed;   ///< Escape after the press rather than at the crosshair
};

struct EscapeDuringSelection : Selection, ::testing::WithParamInterface<EscapeStep> {};

TEST_P(EscapeDuringSelection, ClosesAndIsSwallowed) {
    c().setMouseInput();
    if (GetParam().pressed) {
        event(EventType::LeftMouseDown, 100, 200);
        event(EventType::LeftMouseDragged, 300, 100);
    }
    EXPECT_EQ(key(kEscape), TapVerdict::Swallow);
    EXPECT_FALSE(c().dragStart());
    EXPECT_FALSE(c().overlayVisible());
    EXPECT_FALSE(surface(0).isVisible());
    EXPECT_FALSE(surface(1).isVisible());
    EXPECT_TRUE(desk.input.isCursorVisible());
    EXPECT_FALSE(tapOn(keyDownMask));
    EXPECT_FALSE(tapOn(leftMouseDraggedMask));
    // Taps left on after a cancel pass everything from then on.
    desk.input.clearDeliveries();
    event(EventType::MouseMoved, 50, 50);
    event(EventType::LeftMouseDown, 50, 50);
    event(EventType::LeftMouseUp, 50, 50);
    key(kEscape);
    EXPECT_EQ(desk.input.passed().size(), 4u);
    EXPECT_TRUE(desk.input.swallowed().empty());
    EXPECT_FALSE(c().overlayVisible());
}

INSTANTIATE_TEST_SUITE_P(Steps, EscapeDuringSelection,
                         ::testing::Values(EscapeStep{"crosshair", false}, EscapeStep{"dragging", true}),
                         [](const auto& p) { return std::string(p.param.name); });

// The pointer is captured for the whole selection, so programs underneath get no
// hover or tooltips, and every way out gives it back, with the cursor and the
// stored veil.
struct WayOut {
    const char* name;
    void (*leave)(Harness&);
};

struct PointerDuringSelection : Selection, ::testing::WithParamInterface<WayOut> {};

TEST_P(PointerDuringSelection, IsCapturedUntilTheSelectionEnds) {
    c().setMouseInput();
    ASSERT_TRUE(desk.input.pointerCaptured());
    event(EventType::MouseMoved, 300, 300);
    c().setMouseInput();
    EXPECT_TRUE(desk.input.pointerCaptured());
    GetParam().leave(*this);
    EXPECT_FALSE(desk.input.pointerCaptured());
    if (controller) {   // a program that quits leaves the cursor to the server
        EXPECT_FALSE(c().dragStart());
        EXPECT_TRUE(desk.input.isCursorVisible());
    }
    if (controller && c().overlayVisible()) {
        EXPECT_EQ(view(0).overlayOpacity(), 0.8f) << "back to the stored veil";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Exits, PointerDuringSelection,
    ::testing::Values(
        WayOut{"release", [](Harness& h) {
                   h.event(EventType::LeftMouseDown, 100, 200);
                   EXPECT_TRUE(h.desk.input.pointerCaptured()) << "the drag is still ours";
                   h.event(EventType::LeftMouseUp, 300, 100);
               }},
        WayOut{"escape", [](Harness& h) { h.key(kEscape); }},
        WayOut{"closeHotkey", [](Harness& h) { h.c().hotkeyPressed({0, 2}); }},
        WayOut{"patternMode", [](Harness& h) { h.c().focusMainPattern(); }},
        WayOut{"windowMode",
               [](Harness& h) {
                   h.desk.windowServer.addBack({1, {100, 100, 400, 300}, 0, "Editor", 0});
                   h.c().focusWindow();
                   EXPECT_TRUE(h.c().overlayVisible());
               }},
        WayOut{"displaysReconfigured", [](Harness& h) { h.desk.displays.reconfigure("1440x900+0+0"); }},
        WayOut{"quit", [](Harness& h) { h.controller.reset(); }}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(Selection, CursorIsHiddenAgainOnlyWhenSomethingShowedIt) {
    c().setMouseInput();
    for (int i = 0; i < 5; ++i) event(EventType::MouseMoved, 100 + i, 100);
    EXPECT_EQ(desk.input.hideCount(), 1);
    EXPECT_FALSE(desk.log.contains("cursor visible"));
    desk.input.showCursor();   // another program showed it
    event(EventType::MouseMoved, 120, 100);
    EXPECT_EQ(desk.input.hideCount(), 2);
    EXPECT_FALSE(desk.input.isCursorVisible());
    EXPECT_EQ(desk.log.count("cursor visible"), 1);
}

TEST_F(Selection, CurrentOnlyShowsJustTheDisplayOfTheDrag) {
    c().setSingleMonitorOnly(true);
    c().setMouseInput();
    event(EventType::LeftMouseDown, 2000, 300);
    event(EventType::LeftMouseDragged, 2100, 200);
    event(EventType::LeftMouseUp, 2100, 200);
    EXPECT_EQ(c().currentWindow(), 1);
    EXPECT_FALSE(surface(0).isVisible());
    EXPECT_TRUE(surface(1).isVisible());
}

TEST(SelectionTrust, KeyTapIsCreatedAtFirstNeedOnceTrusted) {
    Harness h;
    h.desk.trust.setTrusted(false);
    h.start();
    h.desk.trust.setTrusted(true);
    h.c().setMouseInput();
    EXPECT_TRUE(h.tapOn(keyDownMask));
    EXPECT_EQ(h.key(kEscape), TapVerdict::Swallow);
    EXPECT_FALSE(h.c().dragStart());
}

TEST_F(Selection, UntrustedOnlyShowsTheAlert) {
    desk.trust.setTrusted(false);
    c().setMouseInput();
    EXPECT_EQ(desk.alerts.shown().size(), 1u);
    EXPECT_FALSE(c().dragStart());
    EXPECT_TRUE(desk.input.isCursorVisible());
    EXPECT_FALSE(surface(0).isVisible());
}

// Rebuilding the windows mid-drag can leave the drag's window index past the end
// of the list; the next drag event must not touch a window that is gone.
TEST_F(Selection, DragAfterTheDragWindowWasUnpluggedIsIgnored) {
    c().setMouseInput();
    event(EventType::LeftMouseDown, 2000, 300);
    desk.displays.reconfigure("1440x900+0+0");
    event(EventType::LeftMouseDragged, 2100, 200);
    event(EventType::LeftMouseUp, 2100, 200);
    EXPECT_FALSE(c().dragStart());
}

} // namespace
} // namespace dimwell::test
