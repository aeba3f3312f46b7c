// Event taps on a real X server: what a tap swallows never reaches another
// program's window, what it passes does, and no grab outlives its answer.

#include "EventPump.h"
#include "OtherClient.h"
#include "platform/linux/ScreenSpace.h"
#include "platform/x11/input/X11InputService.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <xcb/xfixes.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace dimwell::x11 {
namespace {

using namespace std::chrono_literals;
using test::OtherClient;
namespace keysym = test::keysym;

struct Seen {
    std::vector<InputEvent> events;
    std::size_t count(EventType type) const {
        return static_cast<std::size_t>(std::count_if(events.begin(), events.end(), [&](auto& e) { return e.type == type; }));
    }
};

class X11Taps : public ::testing::Test {
protected:
    void SetUp() override {
        service = std::make_unique<X11InputService>(test::qtConnection(), test::qtRoot(), log);
        window = other.openWindow(kLeft, kTop, 300, 200);
    }
    void TearDown() override {
        taps.clear();
        service.reset();
    }

    /// A tap recording what it sees into `seen` and answering `verdict`.
    EventTap& tap(std::uint64_t mask, TapVerdict verdict) {
        taps.push_back(service->createTap(mask, [this, verdict](const InputEvent& e) {
            seen.events.push_back(e);
            return verdict;
        }));
        taps.back()->enable(true);
        return *taps.back();
    }

    Point topLeft(int rootX, int rootY) const { return ScreenSpace::current().rootToTopLeft(rootX, rootY); }

    void click(int x, int y) {
        other.moveTo(x, y);
        other.button(1, true);
        other.button(1, false);
    }
    /// Waits until the window got `n` presses; true when it did.
    bool windowGetsPresses(int n, std::chrono::milliseconds wait = 1500ms) {
        return test::pumpUntil([&] {
            other.poll();
            return other.buttonPresses(window) >= n;
        }, wait);
    }

    static constexpr int kLeft = 200;
    static constexpr int kTop = 150;
    test::RecordingLog log;
    OtherClient other;
    xcb_window_t window = 0;
    std::unique_ptr<X11InputService> service;
    std::vector<std::unique_ptr<EventTap>> taps;
    Seen seen;
};

TEST_F(X11Taps, AThrowingTapLetsThePressThrough) {
    taps.push_back(service->createTap(leftMouseDownMask, [](const InputEvent&) -> TapVerdict {
        throw std::runtime_error("broken");
    }));
    taps.back()->enable(true);
    click(260, 210);
    EXPECT_TRUE(windowGetsPresses(1));
    EXPECT_TRUE(log.contains("event tap failed: broken"));
}

// A callback that sits in a nested event loop must not freeze everyone's pointer.
TEST_F(X11Taps, APressWithoutAnAnswerGoesOnAfterTheDeadline) {
    bool pressArrivedWhileWaiting = false;
    taps.push_back(service->createTap(leftMouseDownMask, [&](const InputEvent&) {
        QEventLoop wait;
        QTimer::singleShot(X11InputService::kAnswerDeadline * 3, &wait, &QEventLoop::quit);
        QTimer::singleShot(X11InputService::kAnswerDeadline * 2, &wait, [&] {
            other.poll();
            pressArrivedWhileWaiting = other.buttonPresses(window) == 1;
        });
        wait.exec();
        return TapVerdict::Swallow;
    }));
    taps.back()->enable(true);
    other.moveTo(260, 210);
    other.button(1, true);
    ASSERT_TRUE(test::pumpUntil([&] { return log.contains("did not answer in time"); }));
    test::pumpFor(X11InputService::kAnswerDeadline * 3);
    other.button(1, false);
    EXPECT_TRUE(pressArrivedWhileWaiting);

    taps.clear();
    click(270, 220);
    EXPECT_TRUE(windowGetsPresses(2)) << "the late Swallow must not have kept the pointer";
}

TEST_F(X11Taps, ADisabledTapHoldsNoGrab) {
    EventTap& down = tap(leftMouseDownMask, TapVerdict::Swallow);
    EXPECT_FALSE(other.grabButton1()) << "an enabled tap holds button 1";
    down.enable(false);
    EXPECT_FALSE(down.isEnabled());
    EXPECT_TRUE(other.grabButton1());
    other.ungrabButton1();
    click(260, 210);
    EXPECT_TRUE(windowGetsPresses(1));
    EXPECT_TRUE(seen.events.empty());
}


struct EscapeChord {
    const char* name;
    std::vector<std::uint32_t> held;
    std::vector<std::uint32_t> locked;
};

struct EscapeWithModifiers : X11Taps, ::testing::WithParamInterface<EscapeChord> {};

// Whatever the user holds or has locked, Escape is the tap's and the focused window
// never sees it; other keys were never the tap's. (Plain Alt+Escape is left out:
// the test desktop's window manager binds it.) The swallowed and passed clicks and
// Escape with the taps off are checked end to end, in selection mode.
TEST_P(EscapeWithModifiers, IsTappedAndSwallowed) {
    other.focus(window);
    tap(keyDownMask, TapVerdict::Swallow);
    for (const std::uint32_t lock : GetParam().locked) other.tap(lock);
    other.chord(GetParam().held, other.keycode(keysym::escape));
    const bool tapped = test::pumpUntil([&] { return seen.count(EventType::KeyDown) == 1; });
    other.tap('a');
    for (const std::uint32_t lock : GetParam().locked) other.tap(lock);
    EXPECT_TRUE(tapped);
    EXPECT_EQ(seen.events.front().keyCode, 53);
    EXPECT_TRUE(test::pumpUntil([&] {
        other.poll();
        return other.keyPresses(window, other.keycode('a')) == 1;
    }, 1000ms));
    EXPECT_EQ(other.keyPresses(window, other.keycode(keysym::escape)), 0);
    EXPECT_EQ(seen.count(EventType::KeyDown), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Modifiers, EscapeWithModifiers,
    ::testing::Values(EscapeChord{"none", {}, {}}, EscapeChord{"control", {keysym::control}, {}},
                      EscapeChord{"altShift", {keysym::alt, keysym::shift}, {}},
                      EscapeChord{"numLock", {}, {keysym::numLock}},
                      EscapeChord{"capsLockAltControl", {keysym::alt, keysym::control}, {keysym::capsLock}},
                      EscapeChord{"bothLocksShiftSuper", {keysym::shift, keysym::super},
                                  {keysym::numLock, keysym::capsLock}}),
    [](const auto& p) { return std::string(p.param.name); });

// While captured, the window under the pointer sees no motion, crossing or click
// (no hover effects, no tooltips); released, it sees the pointer again.
TEST_F(X11Taps, ACapturedPointerReachesNoOtherWindowUntilReleased) {
    tap(mouseMovedMask | leftMouseDownMask | leftMouseDraggedMask | leftMouseUpMask, TapVerdict::Swallow);
    other.moveTo(kLeft - 50, kTop - 50);
    other.poll();
    const int motions = other.motions(window);
    const int enters = other.enters(window);   // the window may have opened under the pointer
    service->capturePointer();
    other.moveTo(250, 200);
    other.moveTo(300, 250);
    click(260, 210);
    ASSERT_TRUE(test::pumpUntil(
        [&] { return seen.count(EventType::MouseMoved) > 0 && seen.count(EventType::LeftMouseUp) == 1; }));
    other.poll();
    EXPECT_EQ(other.motions(window), motions);
    EXPECT_EQ(other.enters(window), enters);
    EXPECT_EQ(other.buttonPresses(window), 0);

    // Released with the swallowed press still held: its release stays ours.
    other.button(1, true);
    ASSERT_TRUE(test::pumpUntil([&] { return seen.count(EventType::LeftMouseDown) == 2; }));
    service->releasePointer();
    other.button(1, false);
    ASSERT_TRUE(test::pumpUntil([&] { return seen.count(EventType::LeftMouseUp) == 2; }));
    other.moveTo(280, 230);
    EXPECT_TRUE(test::pumpUntil([&] {
        other.poll();
        return other.motions(window) > motions;
    }));
    EXPECT_EQ(other.buttonReleases(window), 0);
    taps.clear();
    click(270, 220);
    EXPECT_TRUE(windowGetsPresses(1));
}

TEST_F(X11Taps, AButtonOrPointerHeldByAnotherProgramIsLeftToIt) {
    ASSERT_TRUE(other.grabButton1());
    tap(leftMouseDownMask, TapVerdict::Swallow);
    EXPECT_TRUE(log.contains("the left mouse button is held by another program"));
    other.ungrabButton1();
    ASSERT_TRUE(other.grabPointer());
    service->capturePointer();
    EXPECT_TRUE(log.contains("the pointer is held by another program"));
    service->releasePointer();
    other.ungrabPointer();
    // Nothing of ours was left behind: another program can take the pointer.
    EXPECT_TRUE(other.grabPointer());
    other.ungrabPointer();
}

TEST_F(X11Taps, EscapeOnAnotherKeyAfterARemapIsTapped) {
    tap(keyDownMask, TapVerdict::Swallow);
    const xcb_keycode_t spare = other.spareKeycode();
    other.remap(spare, {keysym::escape});
    EXPECT_TRUE(test::pumpUntil([&] {
        other.chord({}, spare);
        return test::pumpUntil([&] { return seen.count(EventType::KeyDown) > 0; }, 300ms);
    }, 4s));
    ASSERT_FALSE(seen.events.empty());
    EXPECT_EQ(seen.events.back().keyCode, 53);
}

TEST_F(X11Taps, PostedMovesMoveThePointer) {
    const ScreenSpace space = ScreenSpace::current();
    service->postMouseMoved(topLeft(400, 300));
    ASSERT_TRUE(test::pumpUntil([&] { return other.pointer() == std::pair{400, 300}; }));
    EXPECT_EQ(service->mouseLocation(), space.rootToCocoa(400, 300));
}

// The server counts hides per client; a show without a hide is an error, and a
// count that drifts leaves the cursor hidden for good.
TEST_F(X11Taps, CursorHidingNeverDrifts) {
    xcb_connection_t* c = test::qtConnection();
    const auto directShowWorks = [&] {
        xcb_generic_error_t* error = xcb_request_check(c, xcb_xfixes_show_cursor_checked(c, test::qtRoot()));
        const bool ok = error == nullptr;
        std::free(error);
        return ok;
    };

    service->showCursor();   // never hidden: nothing to undo
    EXPECT_TRUE(service->isCursorVisible());
    service->hideCursor();
    service->hideCursor();
    EXPECT_FALSE(service->isCursorVisible());
    EXPECT_TRUE(directShowWorks()) << "hidden once";
    EXPECT_FALSE(directShowWorks()) << "hidden more than once";
    xcb_xfixes_hide_cursor(c, test::qtRoot());   // back to the service's view

    service->showCursor();
    service->showCursor();
    EXPECT_TRUE(service->isCursorVisible());
    EXPECT_FALSE(directShowWorks()) << "shown more often than hidden";
}

} // namespace
} // namespace dimwell::x11
