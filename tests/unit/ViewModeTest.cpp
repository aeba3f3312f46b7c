// View mode: the two-level child descent, its clipping and tie rules, and the
// two ways of finding the window.

#include "Harness.h"

namespace dimwell::test {
namespace {

Rect cocoa(const Rect& tl) { return topLeftToCocoa(tl, 900); }

// The window: top-left (100, 100, 600, 400), Cocoa (100, 400, 600, 400).
constexpr std::int32_t kPid = 77;
const Rect kWindow{100, 100, 600, 400};

/// A child and its own children, top-left space; `readable` false makes its
/// position unreadable.
struct Node {
    Rect frame;
    std::vector<Node> children = {};
    bool readable = true;
    bool childrenReadable = true;
};

struct DescentCase {
    const char* name;
    std::vector<Node> children;
    Point pointer;   ///< Cocoa
    Rect hole;       ///< Cocoa
};

void build(SimAccessibility& ax, const SimElement& parent, const std::vector<Node>& nodes) {
    for (const Node& n : nodes) {
        SimElement e = ax.addChild(parent, n.frame);
        if (!n.readable) e->position.reset();
        build(ax, e, n.children);
        if (!n.childrenReadable) e->children.reset();
    }
}

struct Descent : ::testing::TestWithParam<DescentCase> {
    Running h;
    SimElement window;
    void SetUp() override {
        h.desk.windowServer.addBack({kPid, kWindow, 0, "Editor", 0});
        window = h.desk.accessibility.addWindow(kPid, kWindow);
        build(h.desk.accessibility, window, GetParam().children);
        h.pointer(GetParam().pointer.x, GetParam().pointer.y);
    }
};

TEST_P(Descent, UnderThePointerViewsWindow) {
    h.c().focusViews();
    EXPECT_EQ(h.hole(0), GetParam().hole);
    EXPECT_EQ(h.desk.accessibility.madeMain(), std::vector<AXElementRef>{window});
    EXPECT_EQ(h.desk.accessibility.broughtToFront(), std::vector<std::int32_t>{kPid});
}

TEST_P(Descent, ActiveApplicationsMainWindow) {
    h.desk.workspace.setActiveApplication(kPid, "Editor");
    h.desk.accessibility.setMainWindow(kPid, window);
    h.c().focusMainView();
    EXPECT_EQ(h.hole(0), GetParam().hole);
    EXPECT_TRUE(h.desk.accessibility.madeMain().empty());
    EXPECT_TRUE(h.desk.accessibility.broughtToFront().empty());
}

const Node kC1{{200, 200, 200, 100}};   // Cocoa (200, 600, 200, 100)
const Point kP{250, 650};   // top-left (250, 250)

INSTANTIATE_TEST_SUITE_P(
    Trees, Descent,
    ::testing::Values(
        DescentCase{"noChildren", {}, kP, cocoa(kWindow)},
        DescentCase{"noChildUnderPointer", {{{600, 120, 50, 50}}}, kP, cocoa(kWindow)},
        DescentCase{"childWithoutGrandchild", {kC1}, kP, cocoa(kC1.frame)},
        DescentCase{"grandchild", {{kC1.frame, {{{240, 240, 50, 30}}}}}, kP, cocoa({240, 240, 50, 30})},
        DescentCase{"grandchildNotUnderPointer", {{kC1.frame, {{{350, 210, 20, 20}}}}}, kP, cocoa(kC1.frame)},
        // A document larger than its scroll area is clipped to the window, a
        // grandchild larger than its child to the child.
        DescentCase{"childBeyondTheWindow", {{{50, 200, 1000, 150}}}, kP, cocoa({100, 200, 600, 150})},
        DescentCase{"grandchildBeyondTheChild", {{kC1.frame, {{{0, 0, 1400, 800}}}}}, kP, cocoa(kC1.frame)},
        DescentCase{"firstSiblingWinsEvenWhenLarger",
                    {{{110, 110, 500, 380}}, {{240, 240, 20, 20}}}, kP, cocoa({110, 110, 500, 380})},
        DescentCase{"deeperLevelsMakeNoDifference",
                    {{kC1.frame, {{{210, 210, 150, 80}, {{{245, 245, 5, 5}}}}}}}, kP, cocoa({210, 210, 150, 80})},
        DescentCase{"unreadableGrandchildren", {{kC1.frame, {{{240, 240, 50, 30}}}, true, false}}, kP,
                    cocoa(kC1.frame)},
        DescentCase{"unreadableChildSkipped",
                    {{{110, 110, 500, 380}, {}, false}, {kC1.frame}}, kP, cocoa(kC1.frame)}),
    [](const auto& p) { return std::string(p.param.name); });

struct ViewMode : OneDisplay {
    SimElement window;
    void SetUp() override {
        desk.windowServer.addBack({kPid, kWindow, 0, "Editor", 0});
        window = desk.accessibility.addWindow(kPid, kWindow);
        desk.accessibility.addChild(window, {600, 120, 50, 50});
        desk.accessibility.addChild(window, kC1.frame);
        desk.workspace.setActiveApplication(kPid, "Editor");
        desk.accessibility.setMainWindow(kPid, window);
        pointer(kP.x, kP.y);
    }
};

// Two windows of one application under the pointer: the hole stays within the
// chosen window-list entry although the descent runs in another window.
TEST_F(ViewMode, DescentInAnotherWindowIsStillClippedToTheChosenEntry) {
    desk.windowServer.addFront({kPid, {200, 150, 300, 300}, 0, "Editor", 0});
    SimElement big = desk.accessibility.addWindow(kPid, {0, 0, 1400, 880});
    desk.accessibility.addChild(big, {0, 0, 1400, 880});
    // The big window comes before the small one in "AXWindows".
    SimElement small = desk.accessibility.addWindow(kPid, {200, 150, 300, 300});
    (void)small;
    window->setFrame({2000, 2000, 10, 10});
    c().focusViews();
    EXPECT_EQ(hole(0), cocoa({200, 150, 300, 300}));
    EXPECT_EQ(desk.accessibility.madeMain(), std::vector<AXElementRef>{big});
}

TEST_F(ViewMode, NoAccessibilityWindowUnderThePointerGivesTheListRectUnraised) {
    window->setFrame({2000, 2000, 10, 10});
    c().focusViews();
    EXPECT_EQ(hole(0), cocoa(kWindow));
    EXPECT_TRUE(desk.accessibility.madeMain().empty());
    EXPECT_TRUE(desk.accessibility.broughtToFront().empty());
}

TEST_F(ViewMode, NothingUnderThePointerClosesTheOverlay) {
    c().setUpWindowsForRect({1, 1, 1, 1});
    pointer(1400, 10);
    c().focusViews();
    EXPECT_FALSE(c().overlayVisible());
}

TEST_F(ViewMode, MainViewWithThePointerOutsideIsTheWholeWindowWithoutDescent) {
    pointer(1400, 10);
    c().focusMainView();
    EXPECT_EQ(hole(0), cocoa(kWindow));
    EXPECT_TRUE(desk.log.startingWith("child ").empty());
}

TEST_F(ViewMode, WithoutTheAccessibilityBusTheUserIsToldOnceHowToTurnItOn) {
    struct Told : AppControllerDelegate {
        std::vector<std::string> texts;
        void setClickOut(bool) override {}
        void tellUser(const std::string&, const std::string& text) override { texts.push_back(text); }
    } told;
    c().setDelegate(&told);
    const char* line = "view mode needs the accessibility bus (at-spi2-core); the whole window is used until it runs";

    c().focusViews();
    c().focusMainView();
    EXPECT_TRUE(told.texts.empty());
    EXPECT_FALSE(desk.log.contains(line));

    desk.accessibility.setViewsReadable(false);
    window->children.reset();   // what a window reads as without it
    c().focusViews();
    c().focusMainView();
    c().focusViews();
    EXPECT_EQ(hole(0), cocoa(kWindow));
    ASSERT_EQ(told.texts.size(), 1u);
    EXPECT_NE(told.texts[0].find("at-spi2-core"), std::string::npos);
    EXPECT_EQ(desk.log.count(line), 1);
}

} // namespace
} // namespace dimwell::test
