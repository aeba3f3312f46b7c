// Window mode: the window-under-pointer search and its filters, the accessibility
// match, and the main-window variant with its fallbacks.

#include "Harness.h"

namespace dimwell::test {
namespace {

// One display 1440x900: top-left (x, y, w, h) is Cocoa (x, 900 - y - h, w, h).
Rect cocoa(const Rect& tl) { return topLeftToCocoa(tl, 900); }

struct Entry {
    std::optional<std::string> owner;
    std::int32_t layer;
    Rect bounds = {100, 100, 200, 100};   ///< top-left; Cocoa (100, 700, 200, 100)
};

struct SearchCase {
    const char* name;
    std::vector<Entry> entries;   ///< front to back
    Point pointer;                ///< Cocoa
    int chosen;                   ///< index into entries, -1 for none
};

struct WindowSearch : ::testing::TestWithParam<SearchCase> {};

TEST_P(WindowSearch, FrontmostQualifyingWindowUnderThePointer) {
    Running h;
    const auto& entries = GetParam().entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        h.desk.windowServer.addBack({static_cast<std::int32_t>(500 + i), entries[i].bounds, entries[i].layer,
                                     entries[i].owner, 0});
    }
    h.pointer(GetParam().pointer.x, GetParam().pointer.y);
    h.c().setUpWindowsForRect({1, 1, 1, 1});   // the mask windows are on screen too
    h.c().focusWindow();
    if (GetParam().chosen < 0) {
        EXPECT_FALSE(h.c().overlayVisible());
        EXPECT_TRUE(h.desk.log.contains("close overlay"));
    } else {
        EXPECT_TRUE(h.c().overlayVisible());
        EXPECT_EQ(h.hole(0), cocoa(entries[static_cast<std::size_t>(GetParam().chosen)].bounds));
    }
}

const Point in{150, 750};
const Rect other{800, 100, 200, 100};

INSTANTIATE_TEST_SUITE_P(
    Filters, WindowSearch,
    ::testing::Values(
        SearchCase{"ordinary", {{"Editor", 0}}, in, 0},
        SearchCase{"panelInFrontWins", {{"Editor", 3, {140, 120, 50, 50}}, {"Editor", 0}}, in, 0},
        SearchCase{"firstContainingWins", {{"A", 0, other}, {"B", 0}, {"C", 0}}, in, 1},
        SearchCase{"dockPassedOverWhateverItsLayer", {{"Dock", 20}, {"Dock", -1}, {"Finder", 5}}, in, 2},
        SearchCase{"onlyDock", {{"Dock", 0}}, in, -1},
        SearchCase{"dockComparisonIsCaseSensitive", {{"dock", 0}}, in, 0},
        SearchCase{"noOwnerNameIsNotDock", {{std::nullopt, 0}}, in, 0},
        SearchCase{"layerMinus9", {{"Desk", -9}}, in, 0}, SearchCase{"layer10", {{"Float", 10}}, in, -1},
        SearchCase{"leftBottomCornerInside", {{"Editor", 0}}, {100, 700}, 0},
        SearchCase{"rightEdgeOutside", {{"Editor", 0}}, {300, 750}, -1},
        SearchCase{"justInsideTopRight", {{"Editor", 0}}, {299.5, 799.5}, 0},
        SearchCase{"desktopOnly", {}, in, -1}),
    [](const auto& p) { return std::string(p.param.name); });

struct WindowMode : OneDisplay {
    static constexpr std::int32_t kPid = 321;
    const Rect listBounds{100, 100, 400, 300};   ///< top-left, with decorations
    SimElement ax0, ax1;

    void SetUp() override {
        desk.windowServer.addBack({kPid, listBounds, 0, "Editor", 0});
        // The accessibility frames leave out the decorations.
        ax0 = desk.accessibility.addWindow(kPid, {600, 100, 300, 200});
        ax1 = desk.accessibility.addWindow(kPid, {101, 120, 398, 279});
        pointer(200, 600);
    }
};

TEST_F(WindowMode, MatchedWindowIsMadeMainRaisedAndTracked) {
    c().focusWindow();
    EXPECT_EQ(hole(0), cocoa(listBounds)) << "the window-list rectangle, not the accessibility one";
    EXPECT_EQ(c().frontWindow(), ax1);
    EXPECT_EQ(desk.accessibility.madeMain(), std::vector<AXElementRef>{ax1});
    EXPECT_EQ(desk.accessibility.broughtToFront(), std::vector<std::int32_t>{kPid});
    EXPECT_TRUE(c().addedObserver());
    const std::vector<std::pair<AXElementRef, std::string>> regs = {{ax1, "AXWindowMoved"}, {ax1, "AXWindowResized"}};
    EXPECT_EQ(desk.accessibility.registrations(), regs);
    EXPECT_TRUE(desk.log.contains("The current app is Editor"));
}

// The first accessibility window containing the pointer is matched; one whose
// position cannot be read contains no point.
TEST_F(WindowMode, FirstReadableAccessibilityWindowContainingThePointerIsMatched) {
    ax0->setFrame({0, 0, 1000, 800});
    c().focusWindow();
    EXPECT_EQ(c().frontWindow(), ax0);
    ax0->position.reset();
    c().focusWindow();
    EXPECT_EQ(c().frontWindow(), ax1);
}

struct NoMatch {
    const char* name;
    std::function<void(WindowMode&)> arrange;
};

struct WindowModeWithoutMatch : WindowMode, ::testing::WithParamInterface<NoMatch> {};

TEST_P(WindowModeWithoutMatch, HoleIsTheListRectNothingRaisedNoTracking) {
    c().focusWindow();   // tracking from an earlier call
    ASSERT_TRUE(c().addedObserver());
    GetParam().arrange(*this);
    const auto raised = desk.accessibility.broughtToFront().size();
    const auto madeMain = desk.accessibility.madeMain().size();
    c().focusWindow();
    EXPECT_EQ(hole(0), cocoa(listBounds));
    EXPECT_TRUE(c().overlayVisible());
    EXPECT_FALSE(c().addedObserver());
    EXPECT_TRUE(desk.accessibility.registrations().empty());
    EXPECT_EQ(desk.accessibility.broughtToFront().size(), raised);
    EXPECT_EQ(desk.accessibility.madeMain().size(), madeMain);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowModeWithoutMatch,
    ::testing::Values(NoMatch{"noAccessibilityWindowUnderPointer", [](WindowMode& fx) { fx.ax1->setFrame({0, 0, 5, 5}); }},
                      NoMatch{"windowsUnreadable", [](WindowMode& fx) { fx.desk.accessibility.setWindowsUnreadable(fx.kPid); }},
                      NoMatch{"appWithoutAccessibilityWindows",
                              [](WindowMode& fx) { fx.desk.windowServer.windows().front().ownerPid = 999; }}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(WindowMode, UntrustedShowsTheAlertAndLeavesEverythingAsItWas) {
    c().focusWindow();
    desk.trust.setTrusted(false);
    desk.windowServer.setWindows({});
    c().focusWindow();
    EXPECT_EQ(desk.alerts.shown().size(), 1u);
    EXPECT_TRUE(c().overlayVisible());
    EXPECT_TRUE(c().addedObserver()) << "the check comes before tracking is stopped";
}

// ---- the active application's main window ------------------------------------

struct MainWindow : OneDisplay {
    static constexpr std::int32_t kPid = 654;
    SimElement w0, w1;
    void SetUp() override {
        desk.workspace.setActiveApplication(kPid, "Editor");
        w0 = desk.accessibility.addWindow(kPid, {10, 20, 300, 200});
        w1 = desk.accessibility.addWindow(kPid, {400, 300, 500, 400});
        desk.accessibility.setMainWindow(kPid, w1);
        pointer(1400, 10);   // anywhere: the pointer plays no part
    }
};

TEST_F(MainWindow, HoleIsTheMainWindowNotRaisedButTracked) {
    c().focusMainWindow();
    EXPECT_EQ(hole(0), cocoa({400, 300, 500, 400}));
    EXPECT_EQ(c().frontWindow(), w1);
    EXPECT_TRUE(c().addedObserver());
    EXPECT_TRUE(desk.accessibility.madeMain().empty());
    EXPECT_TRUE(desk.accessibility.broughtToFront().empty());
}

TEST_F(MainWindow, UnreadableMainWindowFallsBackToTheFirstWindow) {
    desk.accessibility.setMainWindow(kPid, nullptr);
    c().focusMainWindow();
    EXPECT_EQ(hole(0), cocoa({10, 20, 300, 200}));
    EXPECT_EQ(c().frontWindow(), w0);
    EXPECT_TRUE(desk.log.contains("windows in app 2"));
}

struct MainArrange {
    const char* name;
    std::function<void(MainWindow&)> arrange;
};

struct MainWindowCloses : MainWindow, ::testing::WithParamInterface<MainArrange> {};

TEST_P(MainWindowCloses, NothingToHighlightClosesTheOverlay) {
    c().setUpWindowsForRect({10, 10, 10, 10});
    GetParam().arrange(*this);
    c().focusMainWindow();
    EXPECT_FALSE(c().overlayVisible());
    EXPECT_FALSE(c().addedObserver());
    EXPECT_TRUE(desk.log.contains("close overlay"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MainWindowCloses,
    ::testing::Values(
        MainArrange{"thisProgramIsActive", [](MainWindow& fx) { fx.desk.workspace.setActiveApplication(4242, "Dimwell"); }},
        MainArrange{"noReadableWindow",
                    [](MainWindow& fx) {
                        fx.desk.accessibility.setMainWindow(fx.kPid, nullptr);
                        fx.desk.accessibility.setWindowsUnreadable(fx.kPid);
                    }},
        MainArrange{"applicationWithoutWindows", [](MainWindow& fx) { fx.desk.workspace.setActiveApplication(777, "Empty"); }},
        MainArrange{"mainWindowWithoutSize", [](MainWindow& fx) { fx.w1->size.reset(); }}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace dimwell::test
