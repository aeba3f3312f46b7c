// Dragging the hole in a mask window: direction, clamping at the window's edges,
// redraw requests, and the end of the drag.

#include "app/Preferences.h"
#include "mask/CustomWindow.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimWindowFactory.h"

#include <gtest/gtest.h>

namespace dimwell {
namespace {

const Rgba kVeil = toRgba(Color::black(static_cast<double>(0.7f)));

// The window covers Cocoa (1000, 500, 200, 100).
struct MaskDragBase : ::testing::Test {
    SimDefaults prefs;
    SimWindowFactory factory;
    std::unique_ptr<CustomWindow> window;
    SimMaskSurface* surface = nullptr;
    void SetUp() override {
        setFloat(prefs, prefkey::opacity, 0.7f);
        window = CustomWindow::initWithContentRect({1000, 500, 200, 100}, factory, prefs);
        surface = factory.live().back();
    }
    CustomView& view() { return window->customView(); }
};

struct DragCase {
    const char* name;
    Point start;   ///< Cocoa space
    Point end;
    Rect hole;     ///< window-local
    Point cross;
};

struct DragRows : MaskDragBase, ::testing::WithParamInterface<DragCase> {};

TEST_P(DragRows, HoleSpansStartAndClampedPointer) {
    window->startDrag(GetParam().start);
    window->updateDrag(GetParam().end);
    EXPECT_EQ(view().myRect(), GetParam().hole);
    EXPECT_EQ(view().mousePosition(), GetParam().cross);
}

INSTANTIATE_TEST_SUITE_P(
    Directions, DragRows,
    ::testing::Values(DragCase{"upRight", {1010, 510}, {1060, 540}, {10, 10, 50, 30}, {60, 40}},
                      DragCase{"downLeft", {1060, 540}, {1010, 510}, {10, 10, 50, 30}, {10, 10}},
                      DragCase{"upLeft", {1060, 510}, {1010, 540}, {10, 10, 50, 30}, {10, 40}},
                      DragCase{"downRight", {1010, 540}, {1060, 510}, {10, 10, 50, 30}, {60, 10}},
                      DragCase{"pastTopRight", {1150, 550}, {1300, 700}, {150, 50, 50, 50}, {200, 100}},
                      DragCase{"pastBottomLeft", {1050, 550}, {900, 400}, {0, 0, 50, 50}, {0, 0}},
                      DragCase{"pastRightOnly", {1150, 550}, {1250, 560}, {150, 50, 50, 10}, {200, 60}},
                      DragCase{"pastBottomOnly", {1150, 550}, {1160, 450}, {150, 0, 10, 50}, {160, 0}},
                      DragCase{"ontoTheEdge", {1100, 550}, {1200, 600}, {100, 50, 100, 50}, {200, 100}},
                      // A start outside the window is not clamped; the rectangle is clipped instead.
                      DragCase{"startOutsideIsClipped", {900, 450}, {1050, 550}, {0, 0, 50, 50}, {50, 50}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(MaskDragBase, DragBackToItsStartLeavesNoHole) {
    window->startDrag({1050, 550});
    window->updateDrag({1100, 580});
    window->updateDrag({1050, 550});
    EXPECT_TRUE(view().myRect().isEmpty());
    window->releaseDrag();
    EXPECT_EQ(surface->canvas().countPixels(kVeil), 200 * 100);
}

TEST_F(MaskDragBase, StraightLineDragLeavesNoHole) {
    window->startDrag({1050, 550});
    window->updateDrag({1050, 590});
    window->releaseDrag();
    EXPECT_EQ(surface->canvas().countPixels(kVeil), 200 * 100);
}

// startDrag clears the model at once but paints nothing; the window keeps its old
// picture until the first update, which only marks the view for the next pass.
TEST_F(MaskDragBase, DragOperationsOnlyMarkTheViewForRedraw) {
    view().setMyRect({0, 0, 20, 20});
    window->display();
    surface->resetCounts();
    window->startDrag({1050, 550});
    EXPECT_TRUE(view().myRect().isZero());
    EXPECT_TRUE(window->dragging());
    EXPECT_EQ(surface->paintCount(), 0);
    EXPECT_EQ(surface->pixel(5, 5), (Rgba{0, 0, 0, 0}));

    window->updateDrag({1060, 560});
    window->updateDrag({1070, 570});
    window->updateCrosshairs({1070, 570});
    EXPECT_EQ(surface->displayCount(), 0);
    EXPECT_EQ(surface->needsDisplayCount(), 3);
    EXPECT_EQ(factory.runDisplayPass(), 1);
    EXPECT_EQ(surface->paintCount(), 1);
    EXPECT_EQ(surface->pixel(5, 5), kVeil);
    EXPECT_EQ(surface->pixel(55, 55), (Rgba{0, 0, 0, 0}));
}

TEST_F(MaskDragBase, CrosshairIsNotClamped) {
    window->updateCrosshairs({1300, 420});
    EXPECT_EQ(view().mousePosition(), (Point{300, -80}));
}

TEST_F(MaskDragBase, ReleaseKeepsTheHoleRestoresOpacityAndPaintsAtOnce) {
    view().setOverlayOpacity(0.5f);
    view().setOverlay(true);
    window->setCollectionBehavior(CollectionBehavior::Stationary);
    window->startDrag({1010, 510});
    window->updateDrag({1060, 540});
    surface->resetCounts();
    window->releaseDrag();
    EXPECT_FALSE(window->dragging());
    EXPECT_FALSE(view().overlay());
    EXPECT_EQ(view().overlayOpacity(), 0.7f);
    EXPECT_EQ(view().myRect(), (Rect{10, 10, 50, 30}));
    EXPECT_EQ(surface->collectionBehavior(), CollectionBehavior::Transient);
    EXPECT_EQ(surface->displayCount(), 1);
    EXPECT_EQ(surface->canvas().countPixels({0, 0, 0, 0}), 50 * 30);
}

} // namespace
} // namespace dimwell
