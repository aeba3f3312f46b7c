// The mask windows and displays on a real X server, read back through a
// connection of the test's own: what the server holds, not what the code believes.

#include "WindowTestSupport.h"

#include "mask/CustomView.h"
#include "platform/x11/masks/MaskWindow.h"
#include "platform/linux/ScreenSpace.h"
#include "platform/x11/X11Displays.h"
#include "platform/x11/XcbUtil.h"

#include <QApplication>
#include <QBackingStore>

#include <xcb/shape.h>

#include <cstring>
#include <unistd.h>

namespace dimwell::x11 {
namespace {

using namespace testing;

/// The view as the mask window paints it, and every area it was asked to paint.
class ViewPainter : public SurfacePainter {
public:
    explicit ViewPainter(const Rect& frame) : view(frame) { view.setOverlayOpacity(0.8f); }
    void draw(Canvas& canvas, const Rect& dirty) override {
        // Recordings tell what changed; only real paints count here.
        if (!dynamic_cast<RecordingCanvas*>(&canvas)) {
            areas.push_back(dirty);
        }
        view.drawRect(canvas, dirty);
    }
    CustomView view;
    std::vector<Rect> areas;
};

class MaskWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        DIMWELL_REQUIRE_DESKTOP();
        displays = std::make_unique<X11Displays>(log);
        factory = std::make_unique<X11WindowFactory>(*displays, log);
        const DisplayInfo main = displays->activeDisplays().front();
        frame = topLeftToCocoa(main.bounds, displays->mainScreenHeight());
        painter = std::make_unique<ViewPainter>(frame);
    }

    std::unique_ptr<MaskWindow> makeWindow() {
        auto surface = factory->createMaskSurface(frame, *painter);
        return std::unique_ptr<MaskWindow>(static_cast<MaskWindow*>(surface.release()));
    }

    /// A window ordered front and mapped by the server.
    std::unique_ptr<MaskWindow> shownWindow() {
        auto window = makeWindow();
        window->orderFront();
        EXPECT_TRUE(pumpUntil([&] { return mapped(window->windowId()); }, 3000));
        return window;
    }

    std::optional<xcb_get_window_attributes_reply_t> attributes(xcb_window_t w) {
        const auto r = freed(xcb_get_window_attributes_reply(x.get(), xcb_get_window_attributes(x.get(), w), nullptr));
        return r ? std::optional(*r) : std::nullopt;
    }

    /// Waits until the server has carried out everything sent on Qt's connection.
    static void syncQt() {
        xcb_connection_t* c = xcbConnection();
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }

    bool mapped(xcb_window_t w) {
        const auto a = attributes(w);
        return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    /// The root's child holding `w` (its frame, when managed).
    xcb_window_t topLevel(xcb_window_t w) {
        for (;;) {
            const auto t = freed(xcb_query_tree_reply(x.get(), xcb_query_tree(x.get(), w), nullptr));
            if (!t || t->parent == t->root) {
                return w;
            }
            w = t->parent;
        }
    }

    /// Whether top-level `a` lies above top-level `b` on the server.
    bool above(xcb_window_t a, xcb_window_t b) {
        const auto t = freed(xcb_query_tree_reply(x.get(), xcb_query_tree(x.get(), x.root()), nullptr));
        const xcb_window_t* children = xcb_query_tree_children(t.get());
        const auto end = children + xcb_query_tree_children_length(t.get());
        return std::find(children, end, a) > std::find(children, end, b);
    }

    RecordingLog log;
    Xconn x;
    std::unique_ptr<X11Displays> displays;
    std::unique_ptr<X11WindowFactory> factory;
    Rect frame;
    std::unique_ptr<ViewPainter> painter;
};

TEST_F(MaskWindowTest, WindowIsAnUnmanagedTranslucentClickThroughDimwellWindow) {
    auto window = makeWindow();
    ASSERT_TRUE(window);
    window->setShieldingLevel();
    window->setIgnoresMouseEvents(true);
    window->orderFront();
    const xcb_window_t w = window->windowId();
    ASSERT_TRUE(pumpUntil([&] { return mapped(w); }, 3000));

    const auto a = attributes(w);
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->override_redirect) << "the window manager must never move or frame the veil";

    const auto geometry = freed(xcb_get_geometry_reply(x.get(), xcb_get_geometry(x.get(), w), nullptr));
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->depth, 32) << "per-pixel alpha needs an ARGB visual";
    const Head& main = displays->mainHead();
    EXPECT_EQ(x.inside(w), ScreenSpace(QRect(main.x, main.y, main.width, main.height)).cocoaToRoot(frame));

    const auto inputRectangles = [&] {
        const auto r = freed(xcb_shape_get_rectangles_reply(
            x.get(), xcb_shape_get_rectangles(x.get(), w, XCB_SHAPE_SK_INPUT), nullptr));
        return r ? int(r->rectangles_len) : -1;
    };
    EXPECT_EQ(inputRectangles(), 0) << "an empty input region lets every click through";

    EXPECT_EQ(x.cardinals(w, "_NET_WM_PID"), std::vector<std::uint32_t>{static_cast<std::uint32_t>(getpid())});
    const auto wmClass = freed(xcb_get_property_reply(
        x.get(), xcb_get_property(x.get(), 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64), nullptr));
    ASSERT_TRUE(wmClass);
    const std::string value(static_cast<const char*>(xcb_get_property_value(wmClass.get())),
                            static_cast<std::size_t>(xcb_get_property_value_length(wmClass.get())));
    EXPECT_EQ(value.substr(0, 15), std::string("Dimwell\0Dimwell", 15));

    window->setIgnoresMouseEvents(false);
    syncQt();
    EXPECT_GT(inputRectangles(), 0);
}

TEST_F(MaskWindowTest, OrderOutThenFrontInOnePassNeverUnmaps) {
    auto window = shownWindow();
    const xcb_window_t w = window->windowId();
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(x.get(), w, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x.get());

    auto unmaps = [&] {
        int n = 0;
        while (xcb_generic_event_t* e = xcb_poll_for_event(x.get())) {
            n += (e->response_type & 0x7f) == XCB_UNMAP_NOTIFY;
            std::free(e);
        }
        return n;
    };
    // What every new hole does: all windows out, the touched ones straight back.
    window->orderOut();
    window->orderFront();
    pumpFor(300);
    EXPECT_EQ(unmaps(), 0) << "the veil flickered";
    EXPECT_TRUE(window->isVisible());

    window->orderOut();
    EXPECT_FALSE(window->isVisible());
    ASSERT_TRUE(pumpUntil([&] { return !mapped(w); }, 3000));
    EXPECT_EQ(unmaps(), 1);
}

TEST_F(MaskWindowTest, MovingTheHoleRepaintsOnlyThePixelsThatChange) {
    auto window = shownWindow();
    pumpFor(200);

    painter->view.setMyRect({100, 100, 200, 150});
    window->display();
    painter->areas.clear();
    painter->view.setMyRect({140, 120, 200, 150});
    window->display();
    ASSERT_FALSE(painter->areas.empty());
    double area = 0;
    for (const Rect& r : painter->areas) {
        area += r.width * r.height;
    }
    // The strips the hole left and took: its area twice, less the overlap twice.
    EXPECT_EQ(area, 2 * 200.0 * 150.0 - 2 * 160.0 * 130.0);

    // Nothing changed: nothing is painted.
    painter->areas.clear();
    window->display();
    window->setNeedsDisplay();
    pumpFor(100);
    EXPECT_TRUE(painter->areas.empty());

    // A new opacity changes every pixel but the hole's.
    painter->areas.clear();
    painter->view.setOverlayOpacity(0.5f);
    window->display();
    area = 0;
    for (const Rect& r : painter->areas) {
        area += r.width * r.height;
        EXPECT_FALSE(intersects(r, {140, 120, 200, 150}));
    }
    EXPECT_EQ(area, frame.width * frame.height - 200.0 * 150.0);
}

TEST_F(MaskWindowTest, VeilCoversOtherProgramsWindowsButNotThisProgramsOwn) {
    auto window = makeWindow();
    window->setShieldingLevel();
    window->orderFront();
    const xcb_window_t mask = window->windowId();
    ASSERT_TRUE(pumpUntil([&] { return mapped(mask); }, 3000));

    // Another program's menu maps on top of everything; the veil covers it again.
    Client menuProgram("/usr/bin/python3", {DIMWELL_SOURCE_RESOURCES "/../scripts/xscreen.py", "window",
                                            "--geometry", "200x100+100+100"});
    xcb_window_t menu = 0;
    ASSERT_TRUE(pumpUntil([&] {
        const auto lines = menuProgram.linesUntil("", 50);
        menu = lines.empty() ? 0 : static_cast<xcb_window_t>(std::stoul(lines.front()));
        return menu != 0;
    }, 5000));
    EXPECT_TRUE(pumpUntil([&] { return above(mask, menu); }, 3000)) << "another program's menu is not dimmed";

    // This program's own menu and its managed settings window stay above the veil,
    // also when a new hole raises the masks.
    QWidget ownMenu(nullptr, Qt::Window | Qt::X11BypassWindowManagerHint | Qt::FramelessWindowHint);
    ownMenu.setGeometry(300, 300, 100, 100);
    ownMenu.show();
    QWidget settings;
    settings.setGeometry(500, 300, 200, 100);
    settings.show();
    const xcb_window_t ownMenuId = static_cast<xcb_window_t>(ownMenu.winId());
    const xcb_window_t settingsId = static_cast<xcb_window_t>(settings.winId());
    ASSERT_TRUE(pumpUntil([&] { return mapped(ownMenuId) && mapped(settingsId); }, 3000));
    window->orderFront();
    pumpFor(300);
    EXPECT_TRUE(above(ownMenuId, mask));
    EXPECT_TRUE(above(topLevel(settingsId), mask));
    EXPECT_TRUE(above(mask, menu));

    // A window that keeps raising itself over the veil (a screen locker) is left
    // on top rather than fought without end.
    const std::uint32_t top = XCB_STACK_MODE_ABOVE;
    for (int i = 0; i < 15; ++i) {
        xcb_configure_window(x.get(), menu, XCB_CONFIG_WINDOW_STACK_MODE, &top);
        xcb_flush(x.get());
        pumpFor(20);
    }
    pumpFor(200);
    EXPECT_TRUE(above(menu, mask));
    EXPECT_TRUE(log.contains("keeps raising itself above the veil"));
}

TEST_F(MaskWindowTest, ClosedWindowIsDestroyedAndIgnoresLaterCalls) {
    auto window = shownWindow();
    const xcb_window_t w = window->windowId();
    window->close();
    window->orderFront();
    window->display();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->windowId(), xcb_window_t{XCB_WINDOW_NONE});
    EXPECT_TRUE(pumpUntil([&] { return !attributes(w).has_value(); }, 3000)) << "the X window still exists";
    window.reset();
    pumpFor(50);
}

// The server paints a mask's first frame at the map, so the veil shows without
// waiting for the widget to handle an expose and paint.
TEST_F(MaskWindowTest, ServerPaintsTheVeilAndTheCurrentHoleAtEachMapAndHiddenKeepsNoImage) {
    auto window = makeWindow();
    // A pixel of the window once the server has done what Qt sent, with no event
    // handled in between: no paint of the widget's can have happened.
    const auto pixel = [&](const Rect& local) {
        syncQt();
        const auto px = static_cast<std::int16_t>(local.x + local.width / 2);
        const auto py = static_cast<std::int16_t>(frame.height - local.y - local.height / 2);
        const auto image = freed(xcb_get_image_reply(
            x.get(), xcb_get_image(x.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, window->windowId(), px, py, 1, 1, ~0u),
            nullptr));
        std::uint32_t value = 1;
        if (image && xcb_get_image_data_length(image.get()) >= 4) {
            std::memcpy(&value, xcb_get_image_data(image.get()), 4);
        }
        return value;
    };
    const Rect hole{100, 100, 200, 150};
    const Rect veil{600, 400, 20, 20};
    const Rect moved{700, 500, 100, 100};
    painter->view.setMyRect(hole);
    window->orderFront();
    EXPECT_EQ(pixel(veil), 0xCC000000u) << "black at 0.8, premultiplied";
    EXPECT_EQ(pixel(hole), 0u);

    // Shown again after the hole moved: the new picture, not the last map's.
    painter->view.setMyRect(moved);
    window->display();
    window->orderOut();
    ASSERT_TRUE(pumpUntil([&] { return !mapped(window->windowId()); }, 3000));
    window->orderFront();
    EXPECT_EQ(pixel(moved), 0u);
    EXPECT_EQ(pixel(hole), 0xCC000000u);

    // Hidden, the window keeps no full-screen image in this process; shown again,
    // the widget's own paint gets one back and paints the current picture.
    QWidget* widget = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        widget = w->winId() == window->windowId() ? w : widget;
    }
    ASSERT_TRUE(widget);
    ASSERT_TRUE(pumpUntil([&] { return widget->backingStore()->size() == widget->size(); }, 3000));
    window->orderOut();
    ASSERT_TRUE(pumpUntil([&] { return !widget->isVisible(); }, 3000));
    EXPECT_TRUE(widget->backingStore()->size().isEmpty());
    painter->view.setMyRect(hole);
    window->display();
    window->orderFront();
    ASSERT_TRUE(pumpUntil([&] { return widget->backingStore()->size() == widget->size(); }, 3000));
    pumpFor(100);
    EXPECT_EQ(pixel(hole), 0u);
    EXPECT_EQ(pixel(moved), 0xCC000000u);
}

} // namespace
} // namespace dimwell::x11
