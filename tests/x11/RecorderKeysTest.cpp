// Key presses of the X keyboard as the hotkey recorder receives them: the
// stored code through the hotkeys' own key table, and the unshifted characters.

#include "platform/x11/RecorderKeys.h"

#include <gtest/gtest.h>

namespace dimwell::x11 {
namespace {

struct KeyCase {
    std::uint32_t keysym;
    std::uint16_t code;
    const char* characters;
};

class RecordedKey : public ::testing::TestWithParam<KeyCase> {};

TEST_P(RecordedKey, GivesTheTableCodeAndUnshiftedCharacters) {
    const std::optional<RecorderKeyEvent> e = recorderKeyDown(GetParam().keysym, kControlKeyMask);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->keyCode, GetParam().code);
    EXPECT_EQ(e->charactersIgnoringModifiers, GetParam().characters);
    EXPECT_EQ(e->modifierFlags, kControlKeyMask);
}

INSTANTIATE_TEST_SUITE_P(
    RecorderKeys, RecordedKey,
    ::testing::Values(KeyCase{'w', 13, "w"}, KeyCase{'W', 13, "w"},   // with Shift the keysym is upper case
                      KeyCase{'!', 18, "1"},                         // Shift+1 records the 1 key
                      KeyCase{'_', 27, "-"}, KeyCase{0xfe20, 48, "Tab"},   // ISO_Left_Tab: Shift+Tab
                      KeyCase{0xffc2, 96, "F5"}, KeyCase{' ', 49, "Space"}, KeyCase{0xff9c, 83, "Keypad 1"},
                      KeyCase{0xff1b, 53, "Escape"}, KeyCase{0x00a7, 10, "\xc2\xa7"}));

TEST(RecorderKeys, ModifierKeysAndKeysOutsideTheTableAreNoShortcutKey) {
    EXPECT_FALSE(recorderKeyDown(0xffe1, kShiftKeyMask));   // Shift_L
    EXPECT_FALSE(recorderKeyDown(0xffeb, kCommandKeyMask));   // Super_L
    EXPECT_FALSE(recorderKeyDown(0x10004d8, kControlKeyMask));   // a Cyrillic letter
    EXPECT_FALSE(recorderKeyDown(0, kControlKeyMask));
}

TEST(RecorderKeys, QtModifiersAndModifierKeysMapToTheRecorderBits) {
    EXPECT_EQ(recorderFlags(Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier),
              kControlKeyMask | kOptionKeyMask | kShiftKeyMask | kCommandKeyMask);
    EXPECT_EQ(recorderFlags(Qt::KeypadModifier | Qt::GroupSwitchModifier), 0u);
    EXPECT_EQ(modifierKeyFlag(Qt::Key_Super_L), kCommandKeyMask);
    EXPECT_EQ(modifierKeyFlag(Qt::Key_AltGr), kOptionKeyMask);
    EXPECT_EQ(modifierKeyFlag(Qt::Key_A), 0u);
}

TEST(RecorderKeys, WithoutANativeKeysymQtsKeyCodeStandsIn) {
    EXPECT_EQ(keysymOf(0x77, Qt::Key_W), 0x77u);   // the native one wins
    EXPECT_EQ(*recorderKeyDown(keysymOf(0, Qt::Key_W), 0), (RecorderKeyEvent{13, 0, "w"}));
    EXPECT_EQ(recorderKeyDown(keysymOf(0, Qt::Key_Escape), 0)->keyCode, 53);
    EXPECT_EQ(recorderKeyDown(keysymOf(0, Qt::Key_Backtab), 0)->keyCode, 48);
    EXPECT_EQ(recorderKeyDown(keysymOf(0, Qt::Key_F12), 0)->keyCode, 111);
    EXPECT_EQ(recorderKeyDown(keysymOf(0, Qt::Key_Up), 0)->keyCode, 126);
    EXPECT_EQ(keysymOf(0, Qt::Key_unknown), 0u);
}

} // namespace
} // namespace dimwell::x11
