// Global hotkeys on a real X server: pressed by another client through XTest.

#include "EventPump.h"
#include "OtherClient.h"
#include "platform/x11/input/X11KeyboardLayout.h"
#include "platform/linux/tray/TrayMenu.h"
#include "platform/x11/input/X11HotkeyService.h"
#include "platform/x11/XcbReply.h"

#include <QAction>

#include <gtest/gtest.h>

#include <memory>

#define explicit explicit_   // a field of xkb.h
#include <xcb/xkb.h>
#undef explicit

namespace dimwell::x11 {
namespace {

using namespace std::chrono_literals;
using test::OtherClient;
namespace keysym = test::keysym;

constexpr std::uint32_t kZ = 6;
constexpr std::uint32_t kX = 7;
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

TEST_F(X11Hotkeys, OnlyItsOwnCombinationFiresItOncePerPress) {
    ASSERT_TRUE(service->registerHotKey(kZ, kControlShift, kSelect, "Z"));
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

    // Only its own modifiers fire it.
    EXPECT_TRUE(pressIgnored(z, {keysym::control}));
    EXPECT_TRUE(pressIgnored(z, {keysym::control, keysym::shift, keysym::alt}));
    EXPECT_TRUE(pressIgnored(z, {}));
    // Command and Option are Super and Alt.
    ASSERT_TRUE(service->registerHotKey(kX, cmdKey + optionKey, kClose, "X"));
    EXPECT_TRUE(pressFires(other.keycode('x'), {keysym::super, keysym::alt}));
    EXPECT_TRUE(pressIgnored(other.keycode('x'), {keysym::control, keysym::alt}));
}

class X11HotkeysWithLock : public X11Hotkeys, public ::testing::WithParamInterface<std::uint32_t> {};

// NumLock and CapsLock change the modifier state of every press; the shortcut must not care.
TEST_P(X11HotkeysWithLock, FiresWhileTheLockIsOn) {
    ASSERT_TRUE(service->registerHotKey(kZ, kControlShift, kSelect, "Z"));
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

    EXPECT_EQ(service->registerHotKey(kZ, kControlShift, kSelect, "Z"), std::nullopt);
    EXPECT_TRUE(log.contains("hotkey Control+Shift+Z is held by another program"));

    // The other registrations are unaffected.
    ASSERT_TRUE(service->registerHotKey(kX, kControlShift, kClose, "X"));
    EXPECT_TRUE(pressFires(other.keycode('x')));
    EXPECT_EQ(fired.back(), kClose);

    other.ungrabKey(z, kXControlShift | XCB_MOD_MASK_LOCK);
    EXPECT_TRUE(other.grabKey(z, kXControlShift)) << "the refused registration left a grab behind";
    other.ungrabKey(z, kXControlShift);
    EXPECT_TRUE(pressIgnored(z));

    // The same shortcut twice is refused, the first one kept.
    EXPECT_EQ(service->registerHotKey(kX, kControlShift, kSelect, "X"), std::nullopt);
    EXPECT_TRUE(pressFires(other.keycode('x')));
    EXPECT_EQ(fired.back(), kClose);
}

TEST_F(X11Hotkeys, UnregisterReleasesEveryGrab) {
    const xcb_keycode_t z = other.keycode('z');
    const auto handle = service->registerHotKey(kZ, kControlShift, kSelect, "Z");
    ASSERT_TRUE(handle);
    const auto kept = service->registerHotKey(kX, kControlShift, kClose, "X");
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
    EXPECT_EQ(service->registerHotKey(52, kControlShift, kSelect, ""), std::nullopt);
    EXPECT_TRUE(log.contains("names no known key"));
    // F16 has no key on the test keyboard.
    EXPECT_EQ(service->registerHotKey(106, kControlShift, kSelect, "F16"), std::nullopt);
    EXPECT_TRUE(log.contains("hotkey Control+Shift+F16 has no key on this keyboard"));
}

/// Switches the keyboard layout as a user would (and the active group, for a
/// layout that is a second group), and back to US when it goes.
class Layout {
public:
    Layout(const QStringList& setxkbmap, std::uint8_t group) {
        ok_ = testing::run("setxkbmap", setxkbmap) == 0;
        if (ok_ && group != 0) {
            xcb_connection_t* c = test::qtConnection();
            const XcbReply<xcb_generic_error_t> error(xcb_request_check(
                c, xcb_xkb_latch_lock_state_checked(c, XCB_XKB_ID_USE_CORE_KBD, 0, 0, 1, group, 0, 0, 0)));
            ok_ = !error;
        }
    }
    ~Layout() { testing::run("setxkbmap", {"-layout", "us"}); }
    bool ok() const { return ok_; }

private:
    bool ok_;
};

struct Label {
    std::uint32_t keyCode;
    const char* stored;
    const char* shown;   ///< in the settings field and the tray
};
struct LayoutCase {
    const char* name;
    QStringList setxkbmap;
    std::uint8_t group;
    std::vector<Label> labels;
    const char* trayBracket;   ///< the tray's name for the stored "]" (code 30)
};

class X11HotkeysOnLayout : public X11Hotkeys, public ::testing::WithParamInterface<LayoutCase> {};

// The shipped presets are pressed where the layout puts their letters (AZERTY,
// QWERTZ, Dvorak) or, without Latin letters, on the physical key; every key is
// named as the layout names it; grabs and names follow the switch.
TEST_P(X11HotkeysOnLayout, PresetsFireFromTheLayoutsKeysAndKeysWearItsNames) {
    const LayoutCase& c = GetParam();
    X11KeyboardLayout names(test::qtConnection(), nullptr);
    TrayMenu tray(names);
    tray.setKeyEquivalent(MenuItemRole::StartSelection, 30, "]", menuControlKey);
    const std::vector<std::pair<std::uint32_t, char>> presets{{6, 'Z'}, {7, 'X'}, {0, 'A'},
                                                              {8, 'C'}, {9, 'V'}, {40, 'K'}};
    for (std::uint32_t i = 0; i < presets.size(); ++i) {
        const std::string letter(1, presets[i].second);
        ASSERT_TRUE(service->registerHotKey(presets[i].first, kControlShift, {0, i + 1}, letter));
    }
    ASSERT_TRUE(service->registerHotKey(126, kControlShift, {0, 7}, "\u2191"));
    const xcb_keycode_t physicalZ = 52;   // US Z
    Layout layout(c.setxkbmap, c.group);
    ASSERT_TRUE(layout.ok());

    const xcb_keycode_t z = other.keycode('z');   // with a second group: the key of the first
    ASSERT_TRUE(test::pumpUntil([&] { return pressFires(z, {keysym::control, keysym::shift}, 300ms); }, 4s));
    EXPECT_EQ(fired.back().id, 1u);
    for (std::uint32_t i = 1; i < presets.size(); ++i) {
        const auto lower = static_cast<std::uint32_t>(presets[i].second | 0x20);
        EXPECT_TRUE(pressFires(other.keycode(lower))) << presets[i].second;
        EXPECT_EQ(fired.back().id, i + 1);
    }
    EXPECT_TRUE(pressFires(other.keycode(0xff52)));   // Up
    if (z != physicalZ) {
        EXPECT_TRUE(pressIgnored(physicalZ));
    }

    for (const Label& l : c.labels) {
        EXPECT_EQ(names.label(l.keyCode, l.stored), l.shown) << "code " << l.keyCode;
    }
    const QAction* item = tray.action(MenuItemRole::StartSelection);
    EXPECT_TRUE(test::pumpUntil([&] { return item->text().endsWith(QString("Ctrl+") + c.trayBracket); }))
        << item->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, X11HotkeysOnLayout,
    ::testing::Values(
        LayoutCase{"us", {"-layout", "us"}, 0,
                   {{6, "Z", "Z"}, {49, "Space", " "}, {83, "Keypad 1", "1"}, {36, "", "\u21A9"}}, "]"},
        LayoutCase{"fr", {"-layout", "fr"}, 0,
                   {{6, "Z", "Z"}, {26, "7", "\u00C8"}, {18, "1", "&"}, {19, "\u00C9", "\u00C9"}}, "$"},
        LayoutCase{"de", {"-layout", "de"}, 0, {{16, "Y", "Y"}, {41, ";", "\u00D6"}, {27, "-", "\u00DF"}}, "+"},
        LayoutCase{"ru", {"-layout", "us,ru"}, 1, {{6, "Z", "\u042F"}, {41, ";", "\u0416"}}, "\u042A"},
        LayoutCase{"dvorak", {"-layout", "us", "-variant", "dvorak"}, 0, {{6, "Z", "Z"}, {30, "]", "="}}, "="}),
    [](const ::testing::TestParamInfo<LayoutCase>& p) { return std::string(p.param.name); });

// Recorded on AZERTY: the physical key, named by what it types there; AltGr
// stands for Option.
TEST_F(X11Hotkeys, ShortcutsRecordedOnAnotherLayoutFireFromTheirKey) {
    Layout french({"-layout", "fr"}, 0);
    ASSERT_TRUE(french.ok());
    test::pumpFor(300ms);
    ASSERT_TRUE(service->registerHotKey(18, controlKey, kSelect, "&"));
    ASSERT_TRUE(service->registerHotKey(19, optionKey, kClose, "\u00C9"));
    EXPECT_TRUE(pressFires(10, {keysym::control}));   // the & key
    EXPECT_EQ(fired.back(), kSelect);
    EXPECT_TRUE(pressFires(11, {0xfe03}));   // AltGr + the é key
    EXPECT_EQ(fired.back(), kClose);
    EXPECT_TRUE(pressFires(11, {keysym::alt}));
}

} // namespace
} // namespace dimwell::x11
