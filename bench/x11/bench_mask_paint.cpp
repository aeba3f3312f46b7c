// What one mask window costs to paint on a 3840×2160 display with the real
// painter: a full repaint, and a hole that moves (as during a window drag), which
// repaints only where the picture changed. The share of the display a step
// repaints is printed beside its floor, the pixels that really change (the
// strips between the old and the new hole); it should stay under 1%.

#include "mask/CustomView.h"
#include "mask/MaskPicture.h"
#include "platform/linux/paint/QtCanvas.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

using dimwell::CustomView;
using dimwell::Rect;
using dimwell::x11::QtCanvas;
using dimwell::RecordingCanvas;

constexpr int kWidth = 3840;
constexpr int kHeight = 2160;
const Rect kBounds{0.0, 0.0, kWidth, kHeight};

CustomView makeView() {
    CustomView view(kBounds);
    view.setOverlayOpacity(0.8f);
    view.setMyRect({1200.0, 600.0, 1400.0, 900.0});
    return view;
}

void paint(QImage& image, const CustomView& view, const std::vector<Rect>& areas) {
    QPainter p(&image);
    QtCanvas canvas(p, kHeight);
    for (const Rect& a : areas) {
        p.setClipRect(QRectF(a.x, kHeight - a.y - a.height, a.width, a.height).toAlignedRect());
        view.drawRect(canvas, a);
    }
}

void BM_FullRepaint(benchmark::State& state) {
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    const CustomView view = makeView();
    for (auto _ : state) {
        paint(image, view, {kBounds});
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["pixels/s"] = benchmark::Counter(double(kWidth) * kHeight, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMillisecond);

/// One step of a dragged window: the hole moves a few points; record both
/// pictures, find what differs, repaint that.
void BM_HoleMove(benchmark::State& state) {
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    CustomView view = makeView();
    paint(image, view, {kBounds});
    double dx = 7.0;
    double repainted = 0.0;
    double changed = 0.0;
    for (auto _ : state) {
        RecordingCanvas before;
        view.drawRect(before, kBounds);
        Rect hole = view.myRect();
        if (hole.x + dx < 0.0 || hole.maxX() + dx > kWidth) {
            dx = -dx;
        }
        hole.x += dx;
        hole.y += 3.0;
        if (hole.maxY() > kHeight) {
            hole.y = 0.0;
        }
        const Rect overlap = dimwell::intersection(hole, view.myRect());
        changed += 2.0 * hole.width * hole.height - 2.0 * overlap.width * overlap.height;
        view.setMyRect(hole);
        RecordingCanvas after;
        view.drawRect(after, kBounds);
        const std::vector<Rect> damage = dimwell::damageBetween(before.ops(), after.ops(), kBounds);
        for (const Rect& r : damage) {
            repainted += r.width * r.height;
        }
        paint(image, view, damage);
        benchmark::DoNotOptimize(image.constBits());
    }
    const double pixels = double(kWidth) * kHeight * double(state.iterations());
    state.counters["repainted share"] = repainted / pixels;
    state.counters["floor share"] = changed / pixels;
}
BENCHMARK(BM_HoleMove)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
