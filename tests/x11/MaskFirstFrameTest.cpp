// A mask's first frame on a real X server: the server paints it at the map, so
// the veil shows without waiting for the widget to handle an expose and paint.

#include "WindowTestSupport.h"

#include "mask/CustomView.h"
#include "platform/x11/masks/MaskWindow.h"
#include "platform/x11/X11Displays.h"
#include "platform/x11/XcbUtil.h"

#include <QApplication>
#include <QBackingStore>

#include <cstring>

namespace dimwell::x11 {
namespace {

using namespace testing;

class ViewPainter : public SurfacePainter {
public:
    explicit ViewPainter(const Rect& frame) : view(frame) { view.setOverlayOpacity(0.8f); }
    void draw(Canvas& canvas, const Rect& dirty) override { view.drawRect(canvas, dirty); }
    CustomView view;
};

TEST(MaskFirstFrameTest, ServerPaintsTheVeilAndTheCurrentHoleAtEachMapAndHiddenKeepsNoImage) {
    DIMWELL_REQUIRE_DESKTOP();
    RecordingLog log;
    Xconn x;
    X11Displays displays(log);
    X11WindowFactory factory(displays, log);
    const Rect frame = topLeftToCocoa(displays.activeDisplays().front().bounds, displays.mainScreenHeight());
    ViewPainter painter(frame);
    auto surface = factory.createMaskSurface(frame, painter);
    auto* window = static_cast<MaskWindow*>(surface.get());
    ASSERT_TRUE(window);

    // A pixel of the window once the server has done what Qt sent, with no event
    // handled in between: no paint of the widget's can have happened.
    const auto pixel = [&](const Rect& local) {
        xcb_connection_t* c = xcbConnection();
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
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
    painter.view.setMyRect(hole);
    window->orderFront();
    EXPECT_EQ(pixel(veil), 0xCC000000u) << "black at 0.8, premultiplied";
    EXPECT_EQ(pixel(hole), 0u);

    // Shown again after the hole moved: the new picture, not the last map's.
    painter.view.setMyRect(moved);
    window->display();
    window->orderOut();
    ASSERT_TRUE(pumpUntil([&] {
        const auto a = freed(xcb_get_window_attributes_reply(
            x.get(), xcb_get_window_attributes(x.get(), window->windowId()), nullptr));
        return a && a->map_state == XCB_MAP_STATE_UNMAPPED;
    }, 3000));
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
    painter.view.setMyRect(hole);
    window->display();
    window->orderFront();
    ASSERT_TRUE(pumpUntil([&] { return widget->backingStore()->size() == widget->size(); }, 3000));
    pumpFor(100);
    EXPECT_EQ(pixel(hole), 0u);
    EXPECT_EQ(pixel(moved), 0xCC000000u);
}

} // namespace
} // namespace dimwell::x11
