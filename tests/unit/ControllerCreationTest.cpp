// Creating the overlay controller: its taps, the accessibility alert with its
// guard, and taps the platform refuses.

#include "Harness.h"

namespace dimwell::test {
namespace {

const char* const kTitle = "Enable Access for Assistive Devices";
const char* const kPane = "/System/Library/PreferencePanes/UniversalAccessPref.prefPane";

// Every tap starts switched off: an Escape or a click before any overlay is the
// front program's.
TEST(Creation, TrustedCreatesEveryTapSwitchedOff) {
    Running h;
    for (const std::uint64_t m : {keyDownMask, leftMouseDraggedMask, leftMouseDownMask, leftMouseUpMask, mouseMovedMask}) {
        ASSERT_NE(h.desk.input.tap(m), nullptr) << m;
        EXPECT_FALSE(h.tapOn(m)) << m;
    }
    EXPECT_TRUE(h.desk.alerts.shown().empty());
}

TEST(Creation, UntrustedShowsTheAlertOnceAndSkipsTheKeyTap) {
    Harness h;
    h.desk.trust.setTrusted(false);
    h.start();
    ASSERT_EQ(h.desk.alerts.shown().size(), 1u);
    const SimAlert& a = h.desk.alerts.shown()[0];
    EXPECT_EQ(a.title, kTitle);
    EXPECT_NE(a.message.find("Enable access for assistive devices"), std::string::npos);
    EXPECT_EQ(a.defaultButton, "Open Universal Access");
    EXPECT_EQ(a.alternateButton, "Close");
    EXPECT_EQ(h.desk.input.tapsCreated(keyDownMask), 0);
    EXPECT_EQ(h.desk.input.creationOrder().size(), 4u);
    EXPECT_FALSE(h.c().alertShown());
}

TEST(AccessibilityAlert, DefaultButtonOpensTheSettingsPaneAlternateDoesNot) {
    for (const bool chooseDefault : {true, false}) {
        Running h;
        h.desk.alerts.answerDefault(chooseDefault);
        h.c().showAccessibilityAlert();
        EXPECT_EQ(h.desk.workspace.openedFiles(), chooseDefault ? std::vector<std::string>{kPane}
                                                                : std::vector<std::string>{});
        EXPECT_FALSE(h.c().alertShown());
    }
}

// The alert is modal: hotkeys delivered while it is up must not stack a second one.
TEST(AccessibilityAlert, NoSecondAlertWhileOneIsUp) {
    Running h;
    h.desk.trust.setTrusted(false);
    h.c().startHotkeys();
    bool shownFlag = false;
    h.desk.alerts.whileShown([&] {
        shownFlag = h.c().alertShown();
        h.c().setMouseInput();
        h.c().focusWindow();
        h.c().focusViews();
        h.desk.hotkeys.press(1);
    });
    h.c().setMouseInput();
    EXPECT_TRUE(shownFlag);
    EXPECT_EQ(h.desk.alerts.maxOpen(), 1);
    EXPECT_EQ(h.desk.alerts.shown().size(), 1u);
    // Once answered, the next untrusted action may show it again.
    h.c().focusWindow();
    EXPECT_EQ(h.desk.alerts.shown().size(), 2u);
}

TEST(RefusedTaps, AnAbsentTapIsANoOp) {
    Harness h;
    for (const std::uint64_t m : {keyDownMask, leftMouseDownMask, leftMouseUpMask, leftMouseDraggedMask, mouseMovedMask}) {
        h.desk.input.refuseTap(m);
    }
    AppController& c = h.start();
    c.setUpWindowsForRect({10, 10, 10, 10});
    c.setMouseInput();
    c.startDragMode({10, 10});
    c.updateDragRect({50, 50});
    c.stopDragMode();
    c.toggleEventTap(true);
    c.reEnableDrag();
    c.reEnableMove();
    c.reEnableMouseDown();
    c.reEnableMouseUp();
    c.closeOverlay();
    EXPECT_FALSE(c.overlayVisible());
}

} // namespace
} // namespace dimwell::test
