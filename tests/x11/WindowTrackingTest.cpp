// Following one window's moves and resizes through the X server's structure
// notifications, under openbox.

#include "WindowTestSupport.h"

#include "platform/x11/AccessibleElements.h"
#include "platform/x11/AtspiAccessibility.h"
#include "platform/x11/ScreenSpace.h"
#include "platform/x11/WindowStack.h"

namespace dimwell::x11 {
namespace {

using namespace testing;

class WindowTrackingTest : public ::testing::Test {
protected:
    void SetUp() override {
        DIMWELL_REQUIRE_DESKTOP();
        stack_ = WindowStack::fromQt();
        ASSERT_TRUE(stack_);
        api_ = std::make_unique<AtspiAccessibility>(stack_, log_);
    }

    /// The first window of process `pid`, once it is on screen.
    AXElementRef windowOf(std::int32_t pid) {
        AXElementRef found;
        pumpUntil(
            [&] {
                const auto list = api_->windows(api_->application(pid));
                if (list && !list->empty()) {
                    found = list->front();
                }
                return found != nullptr;
            },
            5000);
        return found;
    }

    Rect framedTopLeft(xcb_window_t client) const {
        return ScreenSpace::current().rootToTopLeft(*x_.framed(client));
    }
    Rect reported(const AXElementRef& e) const {
        const auto p = api_->position(e);
        const auto s = api_->size(e);
        return p && s ? Rect{p->x, p->y, s->width, s->height} : Rect{};
    }

    RecordingLog log_;
    Xconn x_;
    std::shared_ptr<WindowStack> stack_;
    std::unique_ptr<AtspiAccessibility> api_;
};

TEST_F(WindowTrackingTest, MovesAndResizesAreReportedWithTheNewFrameUntilRemoved) {
    Client logo("xlogo", {"-geometry", "200x150+100+100"});
    const AXElementRef window = windowOf(logo.pid());
    ASSERT_TRUE(window);
    const xcb_window_t client = dynamic_cast<const UiElement&>(*window).client;
    const QString id = QString::number(client);

    std::vector<std::string> seen;
    auto observer = api_->createObserver(logo.pid(), [&](const AXElementRef& e, const std::string& name) {
        EXPECT_EQ(e, window);
        seen.push_back(name);
    });
    ASSERT_TRUE(observer->addNotification(window, kAXWindowMovedNotification));
    ASSERT_TRUE(observer->addNotification(window, kAXWindowResizedNotification));

    ASSERT_EQ(run("xdotool", {"windowmove", id, "400", "300"}), 0);
    ASSERT_TRUE(pumpUntil([&] { return !seen.empty(); }, 3000)) << "no notification for a move";
    EXPECT_EQ(seen.back(), kAXWindowMovedNotification);
    pumpFor(100);
    EXPECT_EQ(reported(window), framedTopLeft(client)) << "position is read at the time of the call";
    EXPECT_NEAR(reported(window).x, 400, 2);

    seen.clear();
    ASSERT_EQ(run("xdotool", {"windowsize", id, "320", "240"}), 0);
    ASSERT_TRUE(pumpUntil([&] { return !seen.empty(); }, 3000)) << "no notification for a resize";
    EXPECT_EQ(seen.back(), kAXWindowResizedNotification);
    pumpFor(100);
    EXPECT_EQ(x_.inside(client)->size(), QSize(320, 240));
    EXPECT_EQ(reported(window), framedTopLeft(client));

    // A drag: many moves arrive while the event loop is busy; they are folded into
    // a few callbacks, the last of which sees the final place.
    seen.clear();
    QStringList drag;
    for (int i = 1; i <= 20; ++i) {
        drag << "windowmove" << id << QString::number(400 + 10 * i) << "300";
    }
    ASSERT_EQ(run("xdotool", drag), 0);
    pumpFor(400);
    EXPECT_GE(seen.size(), 1u);
    EXPECT_LE(seen.size(), 4u) << "a burst of moves must not cause a callback each";
    EXPECT_NEAR(reported(window).x, 600, 2);

    // Removed: nothing more.
    ASSERT_TRUE(observer->removeNotification(window, kAXWindowMovedNotification));
    ASSERT_TRUE(observer->removeNotification(window, kAXWindowResizedNotification));
    EXPECT_FALSE(observer->removeNotification(window, kAXWindowMovedNotification));
    seen.clear();
    ASSERT_EQ(run("xdotool", {"windowmove", id, "150", "150", "windowsize", id, "200", "200"}), 0);
    pumpFor(500);
    EXPECT_TRUE(seen.empty());
}

TEST_F(WindowTrackingTest, AClosedWindowEndsNotificationsQuietly) {
    auto logo = std::make_unique<Client>("xlogo", QStringList{"-geometry", "200x150+100+100"});
    const std::int32_t pid = logo->pid();
    const AXElementRef window = windowOf(pid);
    ASSERT_TRUE(window);
    int calls = 0;
    auto observer = api_->createObserver(pid, [&](const AXElementRef&, const std::string&) { ++calls; });
    ASSERT_TRUE(observer->addNotification(window, kAXWindowMovedNotification));
    logo.reset();
    pumpFor(300);
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(api_->position(window).has_value());
    EXPECT_TRUE(observer->removeNotification(window, kAXWindowMovedNotification));
    // Tracking cannot start on a window that is gone.
    EXPECT_FALSE(observer->addNotification(window, kAXWindowMovedNotification));
}

} // namespace
} // namespace dimwell::x11
