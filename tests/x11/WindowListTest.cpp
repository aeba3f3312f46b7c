// The window list of a real desktop (openbox): frames, owners, layers, and
// windows that disappear while the list is read.

#include "WindowTestSupport.h"

#include "platform/linux/ScreenSpace.h"
#include "platform/x11/windows/WindowStack.h"
#include "platform/x11/windows/X11WindowServer.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <thread>
#include <unistd.h>

#ifndef DIMWELL_ATSPI_FIXTURE
#define DIMWELL_ATSPI_FIXTURE ""
#endif

namespace dimwell::x11 {
namespace {

using namespace testing;

class WindowListTest : public ::testing::Test {
protected:
    void SetUp() override {
        DIMWELL_REQUIRE_DESKTOP();
        stack_ = WindowStack::fromQt();
        ASSERT_TRUE(stack_);
        server_ = std::make_unique<X11WindowServer>(stack_);
    }

    template <class Pred>
    std::optional<WindowInfo> find(Pred pred) const {
        for (const WindowInfo& w : server_->onScreenWindows()) {
            if (pred(w)) return w;
        }
        return std::nullopt;
    }
    std::optional<WindowInfo> byPid(std::int32_t pid) const { return find([&](auto& w) { return w.ownerPid == pid; }); }
    std::optional<WindowInfo> byNumber(std::uint32_t n) const { return find([&](auto& w) { return w.windowNumber == n; }); }

    std::shared_ptr<WindowStack> stack_;
    std::unique_ptr<X11WindowServer> server_;
};

// Front-first order is checked with the raising of a window, in the accessibility tests.
TEST_F(WindowListTest, RealClientsComeWithTheirFramesAndOwnersUntilIconified) {
    Client logo("xlogo", {"-geometry", "200x150+120+130"});
    ASSERT_TRUE(pumpUntil([&] { return byPid(logo.pid()).has_value(); }, 5000)) << "xlogo never showed";

    const WindowInfo w = *byPid(logo.pid());
    Xconn x;
    // xlogo sets no _NET_WM_PID: the owner came from the X resource extension.
    EXPECT_TRUE(x.cardinals(w.windowNumber, "_NET_WM_PID").empty());
    EXPECT_EQ(w.ownerName, std::optional<std::string>("xlogo"));
    EXPECT_EQ(w.layer, 0);
    // The number is the client window itself, and the bounds are its frame.
    EXPECT_EQ(x.inside(w.windowNumber)->size(), QSize(200, 150));
    const std::optional<QRect> framed = x.framed(w.windowNumber);
    ASSERT_TRUE(framed);
    EXPECT_GT(framed->height(), 150) << "openbox draws a title bar";
    EXPECT_EQ(w.bounds, ScreenSpace::current().rootToTopLeft(*framed));

    // Iconified windows are not on screen.
    ASSERT_EQ(run("xdotool", {"windowminimize", QString::number(w.windowNumber)}), 0);
    EXPECT_TRUE(pumpUntil([&] { return !byPid(logo.pid()).has_value(); }, 3000));
}

TEST_F(WindowListTest, LayersOfDocksKeptAboveWindowsPopupsAndTheOverlay) {
    Xconn x;
    const xcb_window_t dock = x.createWindow(QRect(0, 0, 300, 30), false,
                                             {{"_NET_WM_WINDOW_TYPE", {"_NET_WM_WINDOW_TYPE_DOCK"}}});
    const xcb_window_t above = x.createWindow(QRect(400, 300, 200, 100), false,
                                              {{"_NET_WM_STATE", {"_NET_WM_STATE_ABOVE"}}});
    const xcb_window_t plain = x.createWindow(QRect(400, 500, 200, 100), false);
    const xcb_window_t mask = x.createWindow(QRect(0, 600, 100, 100), true);
    ASSERT_TRUE(pumpUntil([&] { return byNumber(dock) && byNumber(above) && byNumber(plain) && byNumber(mask); }, 5000));
    // The window manager takes the dock and the kept-above state on a moment after mapping.
    pumpUntil([&] { return byNumber(dock)->layer == 20 && byNumber(above)->layer == 3; }, 5000);

    EXPECT_EQ(byNumber(dock)->layer, 20);
    EXPECT_EQ(byNumber(above)->layer, 3);
    EXPECT_EQ(byNumber(plain)->layer, 0);
    // An override-redirect window of this very process is one of the overlay's own.
    EXPECT_EQ(byNumber(mask)->layer, kShieldingWindowLevel);
    EXPECT_EQ(byNumber(mask)->ownerPid, static_cast<std::int32_t>(::getpid()));
    EXPECT_EQ(byNumber(mask)->bounds.width, 100);

    if (std::string(DIMWELL_ATSPI_FIXTURE).empty()) {
        GTEST_SKIP() << "fixture program not built";
    }
    // Another program's override-redirect popup sits above the band.
    Client popup(DIMWELL_ATSPI_FIXTURE, {"--popup", "--geometry", "150x80+700+100"});
    ASSERT_TRUE(pumpUntil([&] { return byPid(popup.pid()).has_value(); }, 8000));
    const WindowInfo bare = *byPid(popup.pid());
    EXPECT_EQ(bare.layer, 101);

    // Holding a client with WM_STATE makes it a window manager's frame, as fluxbox
    // and i3 draw them: listed as the client (its number, owner and layer) with the
    // frame's rectangle.
    const xcb_window_t client = x.createWindow(QRect(2, 2, 100, 50), false,
                                               {{"_NET_WM_STATE", {"_NET_WM_STATE_ABOVE"}}}, bare.windowNumber);
    const std::uint32_t normalState[] = {1, XCB_NONE};
    xcb_change_property(x.get(), XCB_PROP_MODE_REPLACE, client, x.atom("WM_STATE"), x.atom("WM_STATE"), 32, 2,
                        normalState);
    xcb_flush(x.get());
    ASSERT_TRUE(pumpUntil([&] { return byNumber(client).has_value(); }, 3000)) << "the frame is still a popup";
    EXPECT_EQ(byNumber(client)->ownerPid, static_cast<std::int32_t>(::getpid()));
    EXPECT_EQ(byNumber(client)->layer, 3);
    EXPECT_EQ(byNumber(client)->bounds, bare.bounds);
    EXPECT_FALSE(byPid(popup.pid())) << "the frame is listed on its own";
}

TEST_F(WindowListTest, WindowsVanishingWhileTheListIsReadAreSkipped) {
    // Another client creates and destroys windows as fast as it can while the list
    // is read over and over: every reply about a vanished window is an error.
    std::atomic<bool> stop{false};
    std::vector<xcb_window_t> made;
    std::thread churn([&] {
        Xconn x;
        std::deque<xcb_window_t> alive;
        for (int i = 0; !stop; ++i) {
            const bool overrideRedirect = (i % 3) == 0;
            alive.push_back(x.createWindow(QRect(10 + (i % 50) * 5, 10, 40, 40), overrideRedirect));
            made.push_back(alive.back());
            if (alive.size() > 4) {
                x.destroy(alive.front());
                alive.pop_front();
            }
        }
        for (xcb_window_t w : alive) {
            x.destroy(w);
        }
        free(xcb_get_input_focus_reply(x.get(), xcb_get_input_focus(x.get()), nullptr));
    });
    int reads = 0;
    int churnSeen = 0;
    QElapsedTimer clock;
    clock.start();
    // Read for a while, and longer on a busy machine until a read overlapped the churn.
    while (clock.elapsed() < 1500 || (churnSeen == 0 && clock.elapsed() < 10000)) {
        for (const WindowInfo& w : server_->onScreenWindows()) {
            EXPECT_GE(w.bounds.width, 0);
            churnSeen += w.bounds.width == 40 && w.bounds.height == 40;
        }
        ++reads;
    }
    stop = true;
    churn.join();
    EXPECT_GT(reads, 5);
    EXPECT_GT(churnSeen, 0) << "the reads never overlapped the short-lived windows";
    pumpFor(100);
    for (const WindowInfo& w : server_->onScreenWindows()) {
        EXPECT_EQ(std::count(made.begin(), made.end(), w.windowNumber), 0) << "destroyed window listed";
    }
}

} // namespace
} // namespace dimwell::x11
