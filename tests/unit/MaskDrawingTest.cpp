// The mask view's picture, read back pixel by pixel: veil, hole, crosshair;
// dragging the hole: direction, clamping at the window's edges, redraw requests;
// and repainting only the pixels that changed.

#include "app/Preferences.h"
#include "mask/CustomWindow.h"
#include "mask/MaskPicture.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimWindowFactory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace dimwell {
namespace {

constexpr Rgba kClear{0, 0, 0, 0};
constexpr Rgba kYellow{255, 255, 0, 255};
Rgba veil(float alpha) { return toRgba(Color::black(static_cast<double>(alpha))); }

struct MaskDrawing : ::testing::Test {
    SimDefaults prefs;
    SimWindowFactory factory;
    std::unique_ptr<CustomWindow> window;
    SimMaskSurface* surface = nullptr;

    void make(float storedOpacity = 0.8f) {
        setFloat(prefs, prefkey::opacity, storedOpacity);
        window = CustomWindow::initWithContentRect({1000, 500, 200, 100}, factory, prefs);
        ASSERT_TRUE(window);
        surface = factory.live().back();
    }
    void SetUp() override { make(); }
    CustomView& view() { return window->customView(); }
    Rgba px(int x, int y) { return surface->pixel(x, y); }
    long count(Rgba c) { return surface->canvas().countPixels(c); }
};

struct VeilOpacity : MaskDrawing, ::testing::WithParamInterface<float> {};

TEST_P(VeilOpacity, EveryPixelTakesTheVeilExactly) {
    view().setOverlayOpacity(GetParam());
    window->display();
    EXPECT_EQ(count(veil(GetParam())), 200 * 100);
}

INSTANTIATE_TEST_SUITE_P(Alphas, VeilOpacity, ::testing::Values(0.0f, 0.5f, 1.0f));

TEST_F(MaskDrawing, HoleIsFullyClearAndExact) {
    view().setMyRect({20, 10, 50, 30});
    window->display();
    EXPECT_EQ(count(kClear), 50 * 30);
    EXPECT_EQ(px(20, 10), kClear);
    EXPECT_EQ(px(69, 39), kClear);
    EXPECT_EQ(px(19, 10), veil(0.8f));
    EXPECT_EQ(px(70, 39), veil(0.8f));
    EXPECT_EQ(px(20, 40), veil(0.8f));
    EXPECT_EQ(px(20, 9), veil(0.8f));
}

// Fills copy: a second paint at a lower opacity must not darken what was there,
// and a hole that moved leaves no clear trace behind.
TEST_F(MaskDrawing, RepaintReplacesRatherThanBlends) {
    view().setMyRect({0, 0, 10, 10});
    window->display();
    view().setOverlayOpacity(0.3f);
    view().setMyRect({100, 50, 10, 10});
    window->display();
    EXPECT_EQ(px(5, 5), veil(0.3f));
    EXPECT_EQ(px(105, 55), kClear);
    EXPECT_EQ(count(veil(0.3f)), 200 * 100 - 100);
}

TEST_F(MaskDrawing, EmptyHoleLeavesTheWholeWindowVeiled) {
    for (const Rect hole : {Rect{}, Rect{50, 50, 0, 20}, Rect{50, 50, 20, 0}}) {
        view().setMyRect(hole);
        window->display();
        EXPECT_EQ(count(veil(0.8f)), 200 * 100);
    }
}

TEST_F(MaskDrawing, HoleReachingBeyondTheWindowIsClippedToIt) {
    view().setMyRect({-140, 10, 300, 20});
    window->display();
    EXPECT_EQ(count(kClear), 160 * 20);
}

TEST_F(MaskDrawing, CrosshairRunsThroughTheHoleAcrossTheWholeWindow) {
    view().setMyRect({20, 10, 50, 30});
    view().setOverlay(true);
    view().setMousePosition({40, 20});
    window->display();
    // Vertical line two points wide: columns 39 and 40, bottom to top.
    for (int y : {0, 15, 99}) {
        EXPECT_EQ(px(39, y), kYellow) << y;
        EXPECT_EQ(px(40, y), kYellow) << y;
    }
    for (int x : {0, 30, 199}) {
        EXPECT_EQ(px(x, 19), kYellow) << x;
        EXPECT_EQ(px(x, 20), kYellow) << x;
    }
    EXPECT_EQ(px(38, 15), kClear);
    EXPECT_EQ(px(41, 15), kClear);
    EXPECT_EQ(px(38, 60), veil(0.8f));
    EXPECT_EQ(count(kYellow), 2 * 100 + 2 * 200 - 4);
}

TEST_F(MaskDrawing, CrosshairBlendsOverWhatIsThere) {
    view().setMyRect({0, 0, 100, 100});
    view().setOverlay(true);
    view().setMousePosition({150, 50});
    view().setCrossColor({1.0, 0.0, 0.0, 0.5});
    window->display();
    // Over the clear hole: the line's own alpha. Over the 0.8 veil: 0.5 + 0.8 * 0.5.
    EXPECT_EQ(px(50, 50).a, 128);
    EXPECT_EQ(px(150, 80).a, 230);
    EXPECT_EQ(px(150, 80).r, 142);
}

// ---- initial state -----------------------------------------------------------

struct InitialOpacity {
    std::optional<float> stored;
    float expected;
};

struct ViewInitialState : MaskDrawing, ::testing::WithParamInterface<InitialOpacity> {};

TEST_P(ViewInitialState, StoredOpacityOrHalfWhenUnset) {
    SimDefaults fresh;
    if (GetParam().stored) setFloat(fresh, prefkey::opacity, *GetParam().stored);
    auto w = CustomWindow::initWithContentRect({0, 0, 10, 10}, factory, fresh);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->customView().overlayOpacity(), GetParam().expected);
    EXPECT_FALSE(w->customView().overlay());
    EXPECT_TRUE(w->customView().myRect().isZero());
    EXPECT_EQ(w->customView().crossColor(), Color::yellow());
    EXPECT_EQ(w->customView().frame(), (Rect{0, 0, 10, 10}));
    EXPECT_FALSE(w->canBecomeKeyWindow());
}

INSTANTIATE_TEST_SUITE_P(Stored, ViewInitialState,
                         ::testing::Values(InitialOpacity{std::nullopt, 0.5f}, InitialOpacity{0.0f, 0.5f},
                                           InitialOpacity{0.3f, 0.3f}, InitialOpacity{1.0f, 1.0f}));

TEST_F(MaskDrawing, StoredZeroIsUsedUnchangedByReleaseDragAndResetAlpha) {
    setFloat(prefs, prefkey::opacity, 0.0f);
    view().setOverlayOpacity(0.5f);
    window->resetAlpha();
    EXPECT_EQ(view().overlayOpacity(), 0.0f);
    view().setOverlayOpacity(0.5f);
    window->startDrag({1010, 510});
    window->releaseDrag();
    EXPECT_EQ(view().overlayOpacity(), 0.0f);
    EXPECT_EQ(count(kClear), 200 * 100);
}

TEST_F(MaskDrawing, RefusedSurfaceGivesNoWindow) {
    factory.refuseNext(1);
    EXPECT_EQ(CustomWindow::initWithContentRect({0, 0, 10, 10}, factory, prefs), nullptr);
}

// ---- dragging the hole ---------------------------------------------------------

const Rgba kVeil = veil(0.7f);

// The window covers Cocoa (1000, 500, 200, 100).
struct MaskDrag : MaskDrawing {
    void SetUp() override { make(0.7f); }
};

struct DragCase {
    const char* name;
    Point start;   ///< Cocoa space
    Point end;
    Rect hole;     ///< window-local
    Point cross;
};

struct DragRows : MaskDrag, ::testing::WithParamInterface<DragCase> {};

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
                      DragCase{"pastTopRight", {1150, 550}, {1300, 700}, {150, 50, 50, 50}, {200, 100}},
                      DragCase{"pastBottomLeft", {1050, 550}, {900, 400}, {0, 0, 50, 50}, {0, 0}},
                      DragCase{"pastRightOnly", {1150, 550}, {1250, 560}, {150, 50, 50, 10}, {200, 60}},
                      DragCase{"ontoTheEdge", {1100, 550}, {1200, 600}, {100, 50, 100, 50}, {200, 100}},
                      // A start outside the window is not clamped; the rectangle is clipped instead.
                      DragCase{"startOutsideIsClipped", {900, 450}, {1050, 550}, {0, 0, 50, 50}, {50, 50}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(MaskDrag, DragBackToItsStartOrAlongALineLeavesNoHole) {
    for (const Point end : {Point{1050, 550}, Point{1050, 590}}) {
        window->startDrag({1050, 550});
        window->updateDrag({1100, 580});
        window->updateDrag(end);
        EXPECT_TRUE(view().myRect().isEmpty());
        window->releaseDrag();
        EXPECT_EQ(count(kVeil), 200 * 100);
    }
}

// startDrag clears the model at once but paints nothing; the window keeps its old
// picture until the first update, which only marks the view for the next pass.
TEST_F(MaskDrag, DragOperationsOnlyMarkTheViewForRedraw) {
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

TEST_F(MaskDrag, CrosshairIsNotClamped) {
    window->updateCrosshairs({1300, 420});
    EXPECT_EQ(view().mousePosition(), (Point{300, -80}));
}

TEST_F(MaskDrag, ReleaseKeepsTheHoleRestoresOpacityAndPaintsAtOnce) {
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
    EXPECT_EQ(count({0, 0, 0, 0}), 50 * 30);
}

// ---- repainting only what changed -----------------------------------------------

Picture record(const CustomView& view) {
    RecordingCanvas canvas;
    view.drawRect(canvas, view.frame());
    return canvas.take();
}

// Random steps of holes, drags, crosshairs and opacities at whole and half
// points, each repainted only where the pictures differ, as a paint event for
// that area does: the pixels are those of a full repaint, the areas disjoint,
// few, and, for whole-point holes without a crosshair, exactly the changed pixels.
TEST(MaskDamage, RepaintingTheDamageAloneGivesTheFullPicture) {
    constexpr int kW = 64, kH = 48;
    CustomView view({0, 0, kW, kH});
    SimCanvas shown(kW, kH);
    view.drawRect(shown, view.frame());
    Picture before = record(view);
    std::mt19937 random(12345);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const auto half = [&](int lo, int hi) { return pick(2 * lo, 2 * hi) / 2.0; };
    const auto whole = [](const Rect& r) {
        return r == Rect{std::floor(r.x), std::floor(r.y), std::floor(r.width), std::floor(r.height)};
    };
    Point anchor;
    for (int step = 0; step < 600; ++step) {
        const Rect hole = view.myRect();
        switch (pick(0, 5)) {
        case 0: view.setMyRect({half(-10, kW), half(-10, kH), half(0, 40), half(0, 30)}); break;
        case 1: view.setMyRect({hole.x + pick(-7, 7), hole.y + pick(-3, 3), hole.width, hole.height}); break;
        case 2: view.setOverlayOpacity(static_cast<float>(pick(0, 10)) / 10.0f); break;
        case 3: view.setOverlay(!view.overlay()); anchor = {half(0, kW), half(0, kH)}; break;
        case 4: view.setCrossColor({1.0, 0.0, 0.0, pick(1, 4) / 4.0}); break;
        default:  // a drag step: the hole spans the anchor and the crosshair
            view.setMousePosition({half(-4, kW + 4), half(-4, kH + 4)});
            const Point p = view.mousePosition();
            view.setMyRect(intersection({std::min(p.x, anchor.x), std::min(p.y, anchor.y), std::abs(p.x - anchor.x),
                                         std::abs(p.y - anchor.y)},
                                        view.frame()));
        }
        const Picture after = record(view);
        const std::vector<Rect> damage = damageBetween(before, after, view.frame());
        ASSERT_LE(damage.size(), 32u) << step;
        SimCanvas full(kW, kH);
        view.drawRect(full, view.frame());
        const SimCanvas last = shown;
        for (const Rect& r : damage) {
            shown.setClip(r);
            view.drawRect(shown, r);
        }
        long changed = 0, damaged = 0;
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                const auto hits =
                    std::ranges::count_if(damage, [&](const Rect& r) { return pointInRect({x + 0.5, y + 0.5}, r); });
                ASSERT_LE(hits, 1) << step;
                ASSERT_EQ(shown.pixel(x, y), full.pixel(x, y)) << "step " << step << " at " << x << "," << y;
                changed += last.pixel(x, y) != full.pixel(x, y);
                damaged += hits;
            }
        }
        if (after.size() == 2 && before.size() == 2 && whole(hole) && whole(view.myRect())) {
            EXPECT_EQ(damaged, changed) << step;
        }
        before = after;
    }
}

// A picture of many scattered changes still gives a short list, and loses none.
TEST(MaskDamage, ManyChangesMergeIntoFewDisjointAreas) {
    RecordingCanvas canvas;
    canvas.fillCopy({0, 0, 64, 64}, Color::black(0.5));
    const Picture after = canvas.ops();
    for (int i = 0; i < 49; ++i) {
        canvas.fillCopy({i % 7 * 9.0, i / 7 * 9.0, 2, 2}, Color::clear());
    }
    const Picture before = canvas.take();
    const std::vector<Rect> damage = damageBetween(before, after, {0, 0, 64, 64});
    ASSERT_LE(damage.size(), 32u);
    for (std::size_t i = 0; i < damage.size(); ++i) {
        for (std::size_t k = i + 1; k < damage.size(); ++k) {
            EXPECT_FALSE(intersects(damage[i], damage[k])) << i << " " << k;
        }
    }
    for (std::size_t i = 1; i < before.size(); ++i) {
        const Rect& r = before[i].rect;
        EXPECT_TRUE(std::ranges::any_of(damage, [&](const Rect& d) { return intersection(d, r) == r; })) << i;
    }
}

} // namespace
} // namespace dimwell
