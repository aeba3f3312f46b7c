// Key presses of the X keyboard as the hotkey recorder receives them: the stored
// code of the physical key, what the active layout types on it, the modifiers.

#include "EventPump.h"
#include "OtherClient.h"
#include "platform/x11/input/X11KeyboardLayout.h"
#include "platform/linux/settings/RecorderKeys.h"

#include <gtest/gtest.h>

namespace dimwell::x11 {
namespace {

using Kind = RecorderPress::Kind;

// On the test desktop's US layout; keys found by what they type, as the
// server's keycodes differ between keycode sets. Tab and a key no stored code
// names are typed into the settings window itself.
TEST(RecorderKeys, PressesGiveThePhysicalKeysCodeAndWhatItTypes) {
    DIMWELL_REQUIRE_DESKTOP();
    const X11KeyboardLayout layout(test::qtConnection(), nullptr);
    test::OtherClient keyboard;
    const struct {
        std::uint32_t keysym;
        Kind kind;
        RecorderKeyEvent event;
    } rows[] = {
        {'w', Kind::Key, {13, kControlKeyMask, "W"}},           // upper-cased, as stored
        {' ', Kind::Key, {49, kControlKeyMask, " "}},           // Space types a blank
        {0xff9c, Kind::Key, {83, kControlKeyMask, "1"}},        // the keypad types digits
        {0xffc2, Kind::Key, {96, kControlKeyMask, "F5"}},
        {0xffe1, Kind::Modifier, {}}, {0xff7f, Kind::Modifier, {}},   // Shift, Num Lock
    };
    for (const auto& row : rows) {
        const RecorderPress press = recorderPress(keyboard.keycode(row.keysym), kControlKeyMask, layout);
        EXPECT_EQ(press.kind, row.kind) << std::hex << row.keysym;
        if (row.kind == Kind::Key) {
            EXPECT_EQ(press.event, row.event) << std::hex << row.keysym;
        }
    }
    EXPECT_EQ(recorderPress(0, kControlKeyMask, layout).kind, Kind::NoCode);
}

TEST(RecorderKeys, QtModifiersAndModifierKeysMapToTheRecorderBits) {
    EXPECT_EQ(recorderFlags(Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier),
              kControlKeyMask | kOptionKeyMask | kShiftKeyMask | kCommandKeyMask);
    EXPECT_EQ(recorderFlags(Qt::GroupSwitchModifier), kOptionKeyMask);   // AltGr
    EXPECT_EQ(recorderFlags(Qt::KeypadModifier), 0u);
    EXPECT_EQ(modifierKeyFlag(Qt::Key_Super_L), kCommandKeyMask);
    EXPECT_EQ(modifierKeyFlag(Qt::Key_AltGr), kOptionKeyMask);
    EXPECT_EQ(modifierKeyFlag(Qt::Key_A), 0u);
}

} // namespace
} // namespace dimwell::x11
