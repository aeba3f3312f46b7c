// Global hotkeys on a real X server: pressed by another client through XTest.

#include "EventPump.h"
#include "OtherClient.h"
#include "platform/x11/X11HotkeyService.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

namespace dimwell::x11 {
namespace {

using namespace std::chrono_literals;
using test::OtherClient;
namespace keysym = test::keysym;

constexpr std::uint32_t kZ = 6;
constexpr std::uint32_t kX = 7;
constexpr std::uint32_t kF12 = 111;
constexpr std::uint32_t kControlShift = controlKey + shiftKey;
constexpr std::uint16_t kXControlShift = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;
const HotKeyId kSelect{0x68746B31, 1};
const HotKeyId kClose{0x68746B32, 2};

class X11Hotkeys : public ::testing::Test {
protected:
    void SetUp() override {
        service = std::make_unique<X11HotkeyService>(test::qtConnection(), test::qtRoot(), log);
        service->installHandler([this](HotKeyId id) { fired.push_back(id); });
    }

    /// Control+Shift+key by another program; true when the handler ran.
    bool pressFires(xcb_keycode_t keycode, std::vector<std::uint32_t> modifiers = {keysym::control, keysym::shift},
                    std::chrono::milliseconds wait = 1500ms) {
        const std::size_t before = fired.size();
        other.chord(modifiers, keycode);
        return test::pumpUntil([&] { return fired.size() > before; }, wait);
    }
    /// The same press, for a shortcut that must not fire: waits less.
    bool pressIgnored(xcb_keycode_t keycode, std::vector<std::uint32_t> modifiers = {keysym::control, keysym::shift}) {
        return !pressFires(keycode, std::move(modifiers), 400ms);
    }

    test::RecordingLog log;
    OtherClient other;
    std::unique_ptr<X11HotkeyService> service;
    std::vector<HotKeyId> fired;
};

TEST_F(X11Hotkeys, PressReachesTheHandlerWithItsIdOncePerPress) {
    ASSERT_TRUE(service->registerHotKey(kZ, kControlShift, kSelect));
    const xcb_keycode_t z = other.keycode('z');

    ASSERT_TRUE(pressFires(z));
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0], kSelect);

    // Held down past the auto-repeat delay: the server repeats the press; the
    // shortcut still fires once.
    other.key(other.keycode(keysym::control), true);
    other.key(other.keycode(keysym::shift), true);
    other.key(z, true);
    test::pumpFor(1000ms);
    other.key(z, false);
    other.key(other.keycode(keysym::shift), false);
    other.key(other.keycode(keysym::control), false);
    test::pumpFor(300ms);
    EXPECT_EQ(fired.size(), 2u);
}

TEST_F(X11Hotkeys, OtherModifiersOrABareKeyDoNotFire) {
    ASSERT_TRUE(service->registerHotKey(kZ, kControlShift, kSelect));
    const xcb_keycode_t z = other.keycode('z');
    EXPECT_TRUE(pressIgnored(z, {keysym::control}));
    EXPECT_TRUE(pressIgnored(z, {keysym::control, keysym::shift, keysym::alt}));
    EXPECT_TRUE(pressIgnored(z, {}));
    EXPECT_TRUE(pressFires(z));
}

TEST_F(X11Hotkeys, EachModifierFlagGrabsItsXModifier) {
    const xcb_keycode_t x = other.keycode('x');
    ASSERT_TRUE(service->registerHotKey(kX, cmdKey + optionKey, kClose));
    EXPECT_TRUE(pressFires(x, {keysym::super, keysym::alt}));
    EXPECT_TRUE(pressIgnored(x, {keysym::control, keysym::alt}));
}

class X11HotkeysWithLock : public X11Hotkeys, public ::testing::WithParamInterface<std::uint32_t> {};

// NumLock and CapsLock change the modifier state of every press; the shortcut must not care.
TEST_P(X11HotkeysWithLock, FiresWhileTheLockIsOn) {
    ASSERT_TRUE(service->registerHotKey(kZ, kControlShift, kSelect));
    other.tap(GetParam());   // lock on
    const bool firesLocked = pressFires(other.keycode('z'));
    other.tap(GetParam());   // lock off again
    EXPECT_TRUE(firesLocked);
    EXPECT_TRUE(pressFires(other.keycode('z')));
}

INSTANTIATE_TEST_SUITE_P(Locks, X11HotkeysWithLock, ::testing::Values(keysym::numLock, keysym::capsLock));

TEST_F(X11Hotkeys, AShortcutHeldByAnotherProgramIsRefusedWithoutLeftovers) {
    const xcb_keycode_t z = other.keycode('z');
    // The other program holds only the CapsLock variant: our plain grab succeeds
    // first and must be rolled back.
    ASSERT_TRUE(other.grabKey(z, kXControlShift | XCB_MOD_MASK_LOCK));

    EXPECT_EQ(service->registerHotKey(kZ, kControlShift, kSelect), std::nullopt);
    EXPECT_TRUE(log.contains("hotkey Control+Shift+Z is held by another program"));

    // The other registrations are unaffected.
    ASSERT_TRUE(service->registerHotKey(kX, kControlShift, kClose));
    EXPECT_TRUE(pressFires(other.keycode('x')));
    EXPECT_EQ(fired.back(), kClose);

    other.ungrabKey(z, kXControlShift | XCB_MOD_MASK_LOCK);
    EXPECT_TRUE(other.grabKey(z, kXControlShift)) << "the refused registration left a grab behind";
    other.ungrabKey(z, kXControlShift);
    EXPECT_TRUE(pressIgnored(z));
}

TEST_F(X11Hotkeys, TheSameShortcutTwiceIsRefused) {
    ASSERT_TRUE(service->registerHotKey(kZ, kControlShift, kSelect));
    EXPECT_EQ(service->registerHotKey(kZ, kControlShift, kClose), std::nullopt);
    EXPECT_TRUE(pressFires(other.keycode('z')));
    EXPECT_EQ(fired.back(), kSelect);
}

TEST_F(X11Hotkeys, UnregisterReleasesEveryGrab) {
    const xcb_keycode_t z = other.keycode('z');
    const auto handle = service->registerHotKey(kZ, kControlShift, kSelect);
    ASSERT_TRUE(handle);
    const auto kept = service->registerHotKey(kX, kControlShift, kClose);
    ASSERT_TRUE(kept);
    service->unregisterHotKey(*handle);
    service->unregisterHotKey(*handle);   // twice is harmless

    EXPECT_TRUE(pressIgnored(z));
    for (const int locks : {0, XCB_MOD_MASK_LOCK + 0, XCB_MOD_MASK_2 + 0, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2}) {
        const auto modifiers = static_cast<std::uint16_t>(kXControlShift | locks);
        EXPECT_TRUE(other.grabKey(z, modifiers)) << "still grabbed with locks " << locks;
        other.ungrabKey(z, modifiers);
    }
    EXPECT_TRUE(pressFires(other.keycode('x')));
}

TEST_F(X11Hotkeys, UnknownCodesAndKeysMissingFromTheKeyboardAreRefused) {
    EXPECT_EQ(service->registerHotKey(52, kControlShift, kSelect), std::nullopt);
    EXPECT_TRUE(log.contains("names no known key"));
    // F16 has no key on the test keyboard.
    EXPECT_EQ(service->registerHotKey(106, kControlShift, kSelect), std::nullopt);
    EXPECT_TRUE(log.contains("hotkey Control+Shift+F16 has no key on this keyboard"));
}

// Keys move when the user switches layouts or runs xmodmap: the grabs must follow.
TEST_F(X11Hotkeys, GrabsFollowTheKeyboardMapping) {
    const xcb_keycode_t f12 = other.keycode(keysym::f12);
    const xcb_keycode_t spare = other.spareKeycode();
    ASSERT_TRUE(service->registerHotKey(kF12, kControlShift, kSelect));
    ASSERT_TRUE(pressFires(f12));

    // A second key now also produces F12: both fire.
    other.remap(spare, {keysym::f12});
    EXPECT_TRUE(test::pumpUntil([&] { return pressFires(spare); }, 4s));
    EXPECT_TRUE(pressFires(f12));

    // The original key loses F12: its grab goes, the other key keeps working.
    other.remap(f12, {});
    test::pumpFor(300ms);
    EXPECT_TRUE(pressIgnored(f12));
    EXPECT_TRUE(pressFires(spare));
    EXPECT_TRUE(other.grabKey(f12, kXControlShift)) << "the key that lost F12 is still grabbed";
    other.ungrabKey(f12, kXControlShift);
}

/// Switches the keyboard layout as a user would, and back when it goes.
class Layout {
public:
    explicit Layout(const char* name) { ok_ = set(name); }
    ~Layout() { set("us"); }
    bool ok() const { return ok_; }

private:
    static bool set(const char* name) {
        QProcess p;
        p.start("setxkbmap", QStringList{name});
        const bool done = p.waitForFinished(5000) && p.exitCode() == 0;
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(1000);
        }
        return done;
    }
    bool ok_;
};

// A new layout reaches toolkit clients only as an XKB notice, never as a core
// MappingNotify; the German layout swaps Y and Z.
TEST_F(X11Hotkeys, GrabsFollowALayoutSwitch) {
    const xcb_keycode_t usZ = other.keycode('z');
    const xcb_keycode_t usY = other.keycode('y');
    ASSERT_TRUE(service->registerHotKey(kZ, kControlShift, kSelect));
    {
        Layout german("de");
        ASSERT_TRUE(german.ok()) << "setxkbmap de failed";
        ASSERT_EQ(other.keycode('z'), usY);
        EXPECT_TRUE(test::pumpUntil([&] { return pressFires(usY, {keysym::control, keysym::shift}, 500ms); }, 4s));
        EXPECT_TRUE(pressIgnored(usZ));
    }
    EXPECT_TRUE(test::pumpUntil([&] { return pressFires(usZ, {keysym::control, keysym::shift}, 500ms); }, 4s));
}

} // namespace
} // namespace dimwell::x11
