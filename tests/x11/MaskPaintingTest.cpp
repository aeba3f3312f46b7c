// The mask view painted with Qt: copy fills, the flip to Qt's top-left pixels,
// and partial redraws that give the same picture as a full one.

#include "mask/CustomView.h"
#include "mask/MaskPicture.h"
#include "platform/linux/paint/QtCanvas.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <functional>

namespace dimwell::x11 {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 200;

QImage blankImage() {
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

/// Paints what a paint event for `damage` paints: the whole pixels it touches.
void paintView(QImage& image, const CustomView& view, const Rect& damage) {
    const QRect pixels = QRectF(damage.x, kHeight - damage.y - damage.height, damage.width, damage.height).toAlignedRect();
    QPainter p(&image);
    p.setClipRect(pixels);
    QtCanvas canvas(p, kHeight);
    view.drawRect(canvas, {double(pixels.x()), double(kHeight - pixels.y() - pixels.height()), double(pixels.width()),
                           double(pixels.height())});
}

std::vector<PaintOp> record(const CustomView& view) {
    RecordingCanvas canvas;
    view.drawRect(canvas, {0, 0, kWidth, kHeight});
    return canvas.ops();
}

CustomView makeView() {
    CustomView view({0, 0, kWidth, kHeight});
    view.setOverlayOpacity(0.8f);
    return view;
}

struct Change {
    const char* name;
    std::function<void(CustomView&)> before;
    std::function<void(CustomView&)> after;
    bool allButHole;   ///< every pixel but those of the 50×50 hole changes
};

void PrintTo(const Change& row, std::ostream* os) { *os << row.name; }

class PartialRedrawTest : public ::testing::TestWithParam<Change> {};

TEST_P(PartialRedrawTest, DamagedAreasAloneGiveTheFullPicture) {
    CustomView view = makeView();
    GetParam().before(view);
    QImage incremental = blankImage();
    paintView(incremental, view, {0, 0, kWidth, kHeight});
    const std::vector<PaintOp> old = record(view);

    GetParam().after(view);
    const std::vector<Rect> damage = damageBetween(old, record(view), {0, 0, kWidth, kHeight});
    for (const Rect& r : damage) {
        paintView(incremental, view, r);
    }
    QImage full = blankImage();
    paintView(full, view, {0, 0, kWidth, kHeight});

    EXPECT_EQ(incremental, full);
    double area = 0;
    for (const Rect& r : damage) {
        area += r.width * r.height;
    }
    if (GetParam().allButHole) {
        EXPECT_EQ(area, kWidth * kHeight - 50.0 * 50.0);
    } else {
        EXPECT_LT(area, kWidth * kHeight / 2.0) << "a small change repaints a small area";
    }
}

void hole(CustomView& v, Rect r) { v.setMyRect(r); }
void cross(CustomView& v, Point p) {
    v.setOverlay(true);
    v.setMousePosition(p);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, PartialRedrawTest,
    ::testing::Values(
        Change{"nothing", [](CustomView& v) { hole(v, {10, 10, 50, 50}); }, [](CustomView&) {}, false},
        Change{"hole_moves", [](CustomView& v) { hole(v, {10, 10, 50, 50}); },
               [](CustomView& v) { hole(v, {30.5, 20.25, 50, 50}); }, false},
        Change{"hole_appears", [](CustomView&) {}, [](CustomView& v) { hole(v, {100, 50, 60, 40}); }, false},
        Change{"hole_goes", [](CustomView& v) { hole(v, {100, 50, 60, 40}); }, [](CustomView& v) { hole(v, {}); },
               false},
        Change{"hole_reaches_past_the_window", [](CustomView& v) { hole(v, {-40, 150, 100, 100}); },
               [](CustomView& v) { hole(v, {-30, 140, 100, 100}); }, false},
        Change{"opacity", [](CustomView& v) { hole(v, {10, 10, 50, 50}); },
               [](CustomView& v) { v.setOverlayOpacity(0.9f); }, true},
        Change{"crosshair_appears", [](CustomView&) {}, [](CustomView& v) { cross(v, {100, 80}); }, false},
        Change{"crosshair_moves_over_the_hole",
               [](CustomView& v) {
                   hole(v, {50, 50, 100, 100});
                   cross(v, {60, 60});
               },
               [](CustomView& v) { cross(v, {140.5, 130.5}); }, false},
        Change{"crosshair_goes", [](CustomView& v) { cross(v, {100, 80}); },
               [](CustomView& v) { v.setOverlay(false); }, false},
        Change{"cross_colour", [](CustomView& v) { cross(v, {100, 80}); },
               [](CustomView& v) { v.setCrossColor({0, 1, 1, 1}); }, false}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace dimwell::x11
