// Applications, windows and views from a real accessibility bus, the X window list
// standing in where it has nothing, activation through the window manager, and
// the bound on waiting for programs that do not answer. A desktop without the
// bus is checked end to end, on the tray's desktop.

#include "WindowTestSupport.h"

#include "platform/linux/accessibility/AccessibleElements.h"
#include "platform/x11/accessibility/AtspiAccessibility.h"
#include "platform/linux/ScreenSpace.h"
#include "platform/x11/windows/WindowStack.h"
#include "platform/x11/windows/X11WindowServer.h"


#include <csignal>
#include <sstream>

#ifndef DIMWELL_ATSPI_FIXTURE
#define DIMWELL_ATSPI_FIXTURE ""
#endif

namespace dimwell::x11 {
namespace {

using namespace testing;

/// The fixture program's window, as it described itself ("window ID").
xcb_window_t fixtureWindow(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        std::istringstream in(line);
        std::string word;
        unsigned long long id = 0;
        if (in >> word >> id && word == "window") {
            return static_cast<xcb_window_t>(id);
        }
    }
    return 0;
}

Rect rootRect(const QRect& r) {
    return ScreenSpace::current().rootToTopLeft(r);
}

class AccessibilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        DIMWELL_REQUIRE_DESKTOP();
        stack_ = WindowStack::fromQt();
        ASSERT_TRUE(stack_);
        api_ = std::make_unique<AtspiAccessibility>(stack_, log_);
    }

    Rect reported(const AXElementRef& e) const {
        const auto p = api_->position(e);
        const auto s = api_->size(e);
        return p && s ? Rect{p->x, p->y, s->width, s->height} : Rect{};
    }

    /// Starts the fixture with accessibility on and waits for its description.
    std::unique_ptr<Client> startFixture(const QString& geometry, xcb_window_t& described) {
        if (std::string(DIMWELL_ATSPI_FIXTURE).empty()) {
            return nullptr;
        }
        auto client = std::make_unique<Client>(DIMWELL_ATSPI_FIXTURE, QStringList{"--geometry", geometry},
                                               std::map<QString, QString>{{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}});
        described = fixtureWindow(client->linesUntil("ready", 10000));
        return client;
    }

    /// A window of process `pid` once it is on screen; with `accessible`, one the
    /// accessibility bus knows.
    AXElementRef windowOf(std::int32_t pid, bool accessible = false) {
        AXElementRef found;
        pumpUntil(
            [&] {
                for (const AXElementRef& w : api_->windows(api_->application(pid)).value_or(std::vector<AXElementRef>{})) {
                    if (!found && (!accessible || dynamic_cast<const UiElement&>(*w).accessible)) {
                        found = w;
                    }
                }
                return found != nullptr;
            },
            8000);
        return found;
    }
    Rect framedTopLeft(xcb_window_t client) const { return rootRect(*x_.framed(client)); }

    RecordingLog log_;
    Xconn x_;
    std::shared_ptr<WindowStack> stack_;
    std::unique_ptr<AtspiAccessibility> api_;
};

TEST_F(AccessibilityTest, AHungApplicationCostsOneTimeoutAndFallsBackToItsXWindow) {
    if (!api_->busAvailable()) {
        GTEST_SKIP() << "no accessibility bus on this desktop";
    }
    xcb_window_t described = 0;
    auto fixture = startFixture("400x300+200+200", described);
    if (!fixture) {
        GTEST_SKIP() << "fixture program not built";
    }
    ASSERT_TRUE(windowOf(fixture->pid(), true));
    pumpFor(1200);   // past the grace period libatspi allows a newly met application
    ::kill(fixture->pid(), SIGSTOP);

    QElapsedTimer clock;
    clock.start();
    const AXElementRef app = api_->application(fixture->pid());
    const auto windows = api_->windows(app);
    const AXElementRef main = api_->mainWindow(app);
    std::optional<std::vector<AXElementRef>> children;
    if (windows && !windows->empty()) {
        children = api_->children(windows->front());
    }
    const qint64 elapsed = clock.elapsed();
    ::kill(fixture->pid(), SIGCONT);

    EXPECT_LT(elapsed, 1000) << "a stopped application held the caller for " << elapsed << " ms";
    RecordProperty("elapsedMs", static_cast<int>(elapsed));
    ASSERT_TRUE(windows);
    ASSERT_EQ(windows->size(), 1u);
    EXPECT_EQ(dynamic_cast<const UiElement&>(*windows->front()).client, described);
    EXPECT_EQ(reported(windows->front()), rootRect(*x_.framed(described)));
    EXPECT_FALSE(children.has_value());
}

TEST_F(AccessibilityTest, ProgramsWithoutAccessibilityAreReadFromTheWindowListAndRaised) {
    Client back("xlogo", {"-geometry", "200x150+100+100"});
    ASSERT_TRUE(pumpUntil([&] { return !api_->windows(api_->application(back.pid()))->empty(); }, 5000));
    Client front("xlogo", {"-geometry", "200x150+150+150"});
    ASSERT_TRUE(pumpUntil([&] { return !api_->windows(api_->application(front.pid()))->empty(); }, 5000));

    const auto windows = api_->windows(api_->application(back.pid()));
    ASSERT_EQ(windows->size(), 1u);
    const AXElementRef window = windows->front();
    const xcb_window_t client = dynamic_cast<const UiElement&>(*window).client;
    EXPECT_EQ(reported(window), rootRect(*x_.framed(client)));
    EXPECT_FALSE(api_->children(window).has_value()) << "no views without accessibility";

    X11WindowServer server(stack_);
    const auto order = [&] {
        std::vector<std::int32_t> pids;
        for (const WindowInfo& w : server.onScreenWindows()) {
            if (w.ownerPid == back.pid() || w.ownerPid == front.pid()) {
                pids.push_back(w.ownerPid);
            }
        }
        return pids;
    };
    ASSERT_EQ(order(), (std::vector<std::int32_t>{front.pid(), back.pid()}));

    EXPECT_TRUE(api_->setMain(window));
    api_->bringProcessToFront(back.pid());
    EXPECT_TRUE(pumpUntil([&] { return order() == std::vector<std::int32_t>{back.pid(), front.pid()}; }, 3000))
        << "the chosen window was not raised";
    EXPECT_TRUE(pumpUntil([&] { return stack_->activeWindow() == client; }, 3000));
    // Now the window manager's active window is this program's main window.
    const AXElementRef main = api_->mainWindow(api_->application(back.pid()));
    ASSERT_TRUE(main);
    EXPECT_EQ(dynamic_cast<const UiElement&>(*main).client, client);
    EXPECT_FALSE(api_->mainWindow(api_->application(front.pid())));
}

// Following one window's moves and resizes through the X server's structure
// notifications, under openbox.
struct WindowTrackingTest : AccessibilityTest {};

TEST_F(WindowTrackingTest, MovesAndResizesAreReportedWithTheNewFrameUntilRemovedOrClosed) {
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

    // The hole following single moves and resizes is checked end to end, in window mode.
    ASSERT_EQ(run("xdotool", {"windowsize", id, "320", "240"}), 0);
    ASSERT_TRUE(pumpUntil([&] { return !seen.empty(); }, 3000)) << "no notification for a resize";
    EXPECT_EQ(seen.back(), kAXWindowResizedNotification);
    pumpFor(100);
    EXPECT_EQ(reported(window), framedTopLeft(client)) << "the frame is read at the time of the call";

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

    // A window that closes while tracked ends its notifications quietly, and
    // tracking cannot start on it again.
    ASSERT_TRUE(observer->addNotification(window, kAXWindowMovedNotification));
    logo.stop();
    pumpFor(300);
    EXPECT_TRUE(seen.empty());
    EXPECT_FALSE(api_->position(window).has_value());
    EXPECT_TRUE(observer->removeNotification(window, kAXWindowMovedNotification));
    EXPECT_FALSE(observer->addNotification(window, kAXWindowMovedNotification));
}

} // namespace
} // namespace dimwell::x11
