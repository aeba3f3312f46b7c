// Capturing another program's window on a real desktop (openbox, picom): the
// window as itself under an overlapping window, bottom row first, colours to
// gray, windows that vanish, and a panel found in the capture.

#include "WindowTestSupport.h"

#include "pattern/ImageProcessor.h"
#include "pattern/Luminance.h"
#include "platform/x11/capture/X11WindowCapture.h"
#include "platform/x11/XcbReply.h"
#include "platform/x11/XcbUtil.h"

#include <xcb/xcb.h>

#include <QThread>

#include <cstring>
#include <functional>
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

/// Another program with windows of its own, on its own connection.
class Painter {
public:
    Painter() : c_(xcb_connect(nullptr, nullptr)) {
        screen_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
    }
    ~Painter() {
        for (xcb_window_t w : windows_) xcb_destroy_window(c_, w);
        xcb_flush(c_);
        xcb_disconnect(c_);
    }
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    bool ok() const { return !xcb_connection_has_error(c_) && screen_ && screen_->root_depth == 24; }
    xcb_connection_t* connection() const { return c_; }

    /// A managed window whose background the server itself paints from `pixel`.
    xcb_window_t patterned(const std::function<std::uint32_t(int, int)>& pixel) {
        const xcb_pixmap_t pixmap = xcb_generate_id(c_);
        xcb_create_pixmap(c_, 24, pixmap, screen_->root, kWide, kHigh);
        const xcb_gcontext_t gc = xcb_generate_id(c_);
        xcb_create_gc(c_, gc, pixmap, 0, nullptr);
        std::vector<std::uint32_t> rows(std::size_t(kWide) * 20);
        for (int y0 = 0; y0 < kHigh; y0 += 20) {
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < kWide; ++x) rows[std::size_t(y * kWide + x)] = pixel(x, y0 + y);
            xcb_put_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc, kWide, 20, 0, std::int16_t(y0), 0, 24,
                          std::uint32_t(rows.size() * 4), reinterpret_cast<const std::uint8_t*>(rows.data()));
        }
        xcb_free_gc(c_, gc);
        const std::uint32_t values[] = {pixmap};
        const xcb_window_t w = create(0, 0, kWide, kHigh, XCB_CW_BACK_PIXMAP, values);
        xcb_free_pixmap(c_, pixmap);
        const char title[] = "capture-test";
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, sizeof title - 1, title);
        xcb_map_window(c_, w);
        xcb_flush(c_);
        return w;
    }

    /// An unmanaged window of one colour at root (x, y), above the others.
    xcb_window_t solid(int x, int y, int width, int height, std::uint32_t rgb) {
        const std::uint32_t values[] = {rgb, 1};
        const xcb_window_t w =
            create(x, y, width, height, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(c_, w);
        xcb_flush(c_);
        return w;
    }

    void destroy(xcb_window_t w) {
        xcb_destroy_window(c_, w);
        std::erase(windows_, w);
        sync();
    }
    void unmap(xcb_window_t w) {
        xcb_unmap_window(c_, w);
        sync();
    }

    /// Viewable and, when `framed`, inside the window manager's frame.
    bool waitMapped(xcb_window_t w, bool framed) {
        return testing::pumpUntil([&] {
            const auto a = takeReply<xcb_get_window_attributes_reply_t>(c_, xcb_get_window_attributes(c_, w),
                                                                       xcb_get_window_attributes_reply);
            const auto t = takeReply<xcb_query_tree_reply_t>(c_, xcb_query_tree(c_, w), xcb_query_tree_reply);
            return a && t && a->map_state == XCB_MAP_STATE_VIEWABLE && (!framed || t->parent != t->root);
        }, 5000);
    }

    /// Root position of a window's inside.
    QPoint rootOrigin(xcb_window_t w) {
        const auto t = takeReply<xcb_translate_coordinates_reply_t>(
            c_, xcb_translate_coordinates(c_, w, screen_->root, 0, 0), xcb_translate_coordinates_reply);
        return t ? QPoint(t->dst_x, t->dst_y) : QPoint();
    }
    /// Root rectangle of the frame around `w`, border included.
    QRect frameOf(xcb_window_t w) {
        xcb_window_t top = w;
        for (;;) {
            const auto t = takeReply<xcb_query_tree_reply_t>(c_, xcb_query_tree(c_, top), xcb_query_tree_reply);
            if (!t || t->parent == t->root) break;
            top = t->parent;
        }
        const auto g = takeReply<xcb_get_geometry_reply_t>(c_, xcb_get_geometry(c_, top), xcb_get_geometry_reply);
        if (!g) return {};
        return QRect(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
    }

private:
    xcb_window_t create(int x, int y, int width, int height, std::uint32_t mask, const std::uint32_t* values) {
        const xcb_window_t w = xcb_generate_id(c_);
        xcb_create_window(c_, 24, w, screen_->root, std::int16_t(x), std::int16_t(y), std::uint16_t(width),
                          std::uint16_t(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, mask, values);
        windows_.push_back(w);
        return w;
    }
    void sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

    xcb_connection_t* c_;
    xcb_screen_t* screen_ = nullptr;
    std::vector<xcb_window_t> windows_;
};

class WindowCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        DIMWELL_REQUIRE_DESKTOP();
        ASSERT_TRUE(painter_.ok());
        capture_ = std::make_unique<X11WindowCapture>(xcbConnection());
    }

    xcb_window_t framedPattern() {
        const xcb_window_t w = painter_.patterned(patternPixel);
        EXPECT_TRUE(painter_.waitMapped(w, true));
        return w;
    }

    /// Gray level of window pixel (x, y), top-left counted, in a capture whose first
    /// row is the frame's bottom row and whose client area starts at `inside`.
    static int grayAt(const GrayBitmap& b, QPoint inside, int x, int y) {
        return b.at(inside.x() + x, b.pixelsHigh - 1 - (inside.y() + y));
    }

    Painter painter_;
    std::unique_ptr<X11WindowCapture> capture_;
};

TEST_F(WindowCaptureTest, CapturesTheWindowAsItselfUnderAnOverlappingWindow) {
    const xcb_window_t w = framedPattern();
    const QPoint origin = painter_.rootOrigin(w);
    // A red window over the right half of the panel, frame line included.
    const xcb_window_t cover = painter_.solid(origin.x() + 160, origin.y() + 20, 200, 120, 0xff0000u);
    ASSERT_TRUE(painter_.waitMapped(cover, false));

    const auto captured = capture_->captureGray(w);
    ASSERT_TRUE(captured);
    const QRect frame = painter_.frameOf(w);
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

TEST_F(WindowCaptureTest, FindsThePanelInTheCapture) {
    const xcb_window_t w = framedPattern();
    const QPoint origin = painter_.rootOrigin(w);
    const xcb_window_t cover = painter_.solid(origin.x() + 200, origin.y() + 60, 300, 60, 0x0000ffu);
    ASSERT_TRUE(painter_.waitMapped(cover, false));
    const auto captured = capture_->captureGray(w);
    ASSERT_TRUE(captured);
    const QPoint inside = origin - painter_.frameOf(w).topLeft();
    const int H = captured->bitmap.pixelsHigh;

    testing::RecordingLog log;
    // Pointing at window pixel (100, 100), inside the panel: the result, back in
    // top-left window pixels, is the panel's inside, columns 41..278, rows 31..188.
    const Rect r = ImageProcessor(Logger(log))
                       .processImage({double(inside.x() + 100), double(H - 1 - (inside.y() + 100))}, captured->bitmap);
    const int left = int(r.x) - inside.x();
    const int top = H - int(r.y + r.height) - inside.y();
    if (!compositorRunning()) GTEST_SKIP() << "without a compositor the covering window is part of the capture";
    EXPECT_EQ(left, 41);
    EXPECT_EQ(int(r.width), 238);
    EXPECT_EQ(top, 31);
    EXPECT_EQ(int(r.height), 158);
}

TEST_F(WindowCaptureTest, WindowsThatCannotBeCapturedGiveNothing) {
    EXPECT_FALSE(capture_->captureGray(0));
    EXPECT_FALSE(capture_->captureGray(0x1fffff7u));   // no such window

    const xcb_window_t hidden = framedPattern();
    painter_.unmap(hidden);
    QThread::msleep(200);
    EXPECT_FALSE(capture_->captureGray(hidden));

    const xcb_window_t gone = framedPattern();
    painter_.destroy(gone);
    EXPECT_FALSE(capture_->captureGray(gone));
}

TEST_F(WindowCaptureTest, WindowThatVanishesWhileCapturedNeverCrashes) {
    // Destroyed from another connection at varying moments of the capture.
    for (int i = 0; i < 20; ++i) {
        const xcb_window_t w = framedPattern();
        xcb_destroy_window(painter_.connection(), w);
        if (i % 2 == 0) xcb_flush(painter_.connection());
        const auto captured = capture_->captureGray(w);
        xcb_flush(painter_.connection());
        if (captured) {
            EXPECT_GT(captured->bitmap.pixelsWide, 0);
        }
    }
}

} // namespace
} // namespace dimwell::x11
