// Capturing another program's window on a real desktop (openbox, picom): the
// window as itself under an overlapping window, bottom row first, colours to
// gray, and windows that vanish. Finding a panel in the capture is checked end
// to end, in pattern mode.

#include "WindowTestSupport.h"

#include "pattern/Luminance.h"
#include "platform/x11/capture/X11WindowCapture.h"
#include "platform/x11/XcbUtil.h"

#include <xcb/xcb.h>

#include <QThread>

#include <vector>

namespace dimwell::x11 {
namespace {

constexpr int kWide = 320;
constexpr int kHigh = 220;

/// The picture the test window shows, in top-left window pixels: gray 200 with
/// a black-framed panel at columns 40..279, rows 30..189, and below it three
/// stripes of pure red, green and blue.
std::uint32_t patternPixel(int x, int y) {
    if (y >= 200 && y < 210) {
        if (x < 100) return 0xff0000u;
        if (x < 200) return 0x00ff00u;
        return 0x0000ffu;
    }
    const bool frameRow = (y == 30 || y == 189) && x >= 40 && x <= 279;
    const bool frameCol = (x == 40 || x == 279) && y >= 30 && y <= 189;
    const std::uint32_t v = frameRow || frameCol ? 0 : 200;
    return v << 16 | v << 8 | v;
}

/// The root rectangle of the window manager's frame around `w`, border included.
QRect frameOf(const testing::Xconn& x, xcb_window_t w) {
    for (;;) {
        const auto t = testing::freed(xcb_query_tree_reply(x.get(), xcb_query_tree(x.get(), w), nullptr));
        if (!t || t->parent == t->root) break;
        w = t->parent;
    }
    const auto g = testing::freed(xcb_get_geometry_reply(x.get(), xcb_get_geometry(x.get(), w), nullptr));
    return g ? QRect(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width) : QRect();
}

class WindowCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        DIMWELL_REQUIRE_DESKTOP();
        capture_ = std::make_unique<X11WindowCapture>(xcbConnection());
    }

    /// Another program's managed window showing patternPixel, painted by the
    /// server from a pixmap, once the window manager has framed it.
    xcb_window_t framedPattern() {
        xcb_connection_t* c = x_.get();
        const xcb_pixmap_t pixmap = xcb_generate_id(c);
        xcb_create_pixmap(c, 24, pixmap, x_.root(), kWide, kHigh);
        const xcb_gcontext_t gc = xcb_generate_id(c);
        xcb_create_gc(c, gc, pixmap, 0, nullptr);
        std::vector<std::uint32_t> rows(std::size_t(kWide) * 20);
        for (int y0 = 0; y0 < kHigh; y0 += 20) {
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < kWide; ++x) rows[std::size_t(y * kWide + x)] = patternPixel(x, y0 + y);
            xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, kWide, 20, 0, std::int16_t(y0), 0, 24,
                          std::uint32_t(rows.size() * 4), reinterpret_cast<const std::uint8_t*>(rows.data()));
        }
        xcb_free_gc(c, gc);
        const xcb_window_t w = x_.createWindow(QRect(0, 0, kWide, kHigh), false);
        xcb_change_window_attributes(c, w, XCB_CW_BACK_PIXMAP, &pixmap);
        xcb_clear_area(c, 0, w, 0, 0, 0, 0);
        xcb_free_pixmap(c, pixmap);
        xcb_flush(c);
        EXPECT_TRUE(waitMapped(w, true));
        return w;
    }

    /// Viewable and, when `framed`, inside the window manager's frame.
    bool waitMapped(xcb_window_t w, bool framed) {
        return testing::pumpUntil([&] {
            const auto a = testing::freed(
                xcb_get_window_attributes_reply(x_.get(), xcb_get_window_attributes(x_.get(), w), nullptr));
            const auto t = testing::freed(xcb_query_tree_reply(x_.get(), xcb_query_tree(x_.get(), w), nullptr));
            return a && t && a->map_state == XCB_MAP_STATE_VIEWABLE && (!framed || t->parent != t->root);
        }, 5000);
    }

    /// Gray level of window pixel (x, y), top-left counted, in a capture whose first
    /// row is the frame's bottom row and whose client area starts at `inside`.
    static int grayAt(const GrayBitmap& b, QPoint inside, int x, int y) {
        return b.at(inside.x() + x, b.pixelsHigh - 1 - (inside.y() + y));
    }

    testing::Xconn x_;
    std::unique_ptr<X11WindowCapture> capture_;
};

TEST_F(WindowCaptureTest, CapturesTheWindowAsItselfUnderAnOverlappingWindow) {
    const xcb_window_t w = framedPattern();
    const QPoint origin = x_.inside(w)->topLeft();
    // A gray window over the right half of the panel, frame line included.
    const xcb_window_t cover = x_.createWindow(QRect(origin.x() + 160, origin.y() + 20, 200, 120), true);
    ASSERT_TRUE(waitMapped(cover, false));

    const auto captured = capture_->captureGray(w);
    ASSERT_TRUE(captured);
    const QRect frame = frameOf(x_, w);
    ASSERT_EQ(captured->bitmap.pixelsWide, frame.width());
    ASSERT_EQ(captured->bitmap.pixelsHigh, frame.height());
    EXPECT_EQ(captured->pixelsPerPoint, 1.0);
    const QPoint inside = origin - frame.topLeft();

    const bool composited = compositorRunning();
    EXPECT_EQ(capture_->lastSource(),
              composited ? X11WindowCapture::Source::Composite : X11WindowCapture::Source::Window);
    int wrong = 0;
    for (int y = 0; y < kHigh; ++y) {
        for (int x = 0; x < kWide; ++x) {
            const bool covered = x >= 160 && y >= 20 && y < 140;
            if (covered && !composited) continue;   // in place, X shows what covers the window
            const std::uint32_t p = patternPixel(x, y);
            wrong += grayAt(captured->bitmap, inside, x, y) != grayLevel(p >> 16 & 0xff, p >> 8 & 0xff, p & 0xff);
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(WindowCaptureTest, WindowsThatCannotBeCapturedGiveNothingEvenMidCapture) {
    EXPECT_FALSE(capture_->captureGray(0));
    EXPECT_FALSE(capture_->captureGray(0x1fffff7u));   // no such window

    const xcb_window_t hidden = framedPattern();
    xcb_unmap_window(x_.get(), hidden);
    xcb_flush(x_.get());
    QThread::msleep(200);
    EXPECT_FALSE(capture_->captureGray(hidden));

    const xcb_window_t gone = framedPattern();
    x_.destroy(gone);
    std::free(xcb_get_input_focus_reply(x_.get(), xcb_get_input_focus(x_.get()), nullptr));
    EXPECT_FALSE(capture_->captureGray(gone));

    // Destroyed from another connection at varying moments of the capture: never a crash.
    for (int i = 0; i < 20; ++i) {
        const xcb_window_t w = framedPattern();
        xcb_destroy_window(x_.get(), w);
        if (i % 2 == 0) xcb_flush(x_.get());
        const auto captured = capture_->captureGray(w);
        xcb_flush(x_.get());
        if (captured) {
            EXPECT_GT(captured->bitmap.pixelsWide, 0);
        }
    }
}

} // namespace
} // namespace dimwell::x11
