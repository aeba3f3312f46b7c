// The hotkey recorder on its own: what it shows while recording, what it
// records, and what it asks of the settings window.

#include "platform/sim/SimLog.h"
#include "platform/sim/SimSettingsViews.h"
#include "settings/NSMyScrollView.h"
#include "settings/NSMyTextField.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dimwell {
namespace {

constexpr std::uint64_t kCtl = kControlKeyMask, kOpt = kOptionKeyMask, kSh = kShiftKeyMask, kCmd = kCommandKeyMask;
constexpr std::uint64_t kCapsLock = 0x10000;

/// Writes down the recorder's calls and moves the focus as the window would.
struct Calls : MyNSTextFieldDelegate {
    explicit Calls(SettingsWindow& w) : window(w) {}
    void setMyActiveTextView(bool active) override { log.push_back(active ? "active" : "inactive"); }
    void removeFromOther(NSMyTextField&) override { log.push_back("remove"); }
    void saveHotkeys() override { log.push_back("save"); }
    void setFirstResponder(NSMyTextField* r) override {
        log.push_back("focus");
        window.makeFirstResponder(r);
    }
    SettingsWindow& window;
    std::vector<std::string> log;
};

struct Recorder : ::testing::Test {
    SimLog sink;
    SimSettingsWindowView window{sink};
    Calls calls{window};
    NSMyTextField& field = window.text(0);
    SimRecorderTextView& view = window.view(0);

    Recorder() {
        field.setMydelegate(&calls);
        view.text = "\u2303\u21E7Z";
    }
    void focus() { window.click(0); }
    void flags(std::uint64_t f) { field.flagsChanged({56, f, ""}); }
    void key(std::uint16_t code, std::uint64_t f, const std::string& chars) { field.keyDown({code, f, chars}); }
};

TEST_F(Recorder, FocusStartsRecordingWithTheGreyPrompt) {
    focus();
    EXPECT_TRUE(field.editing());
    EXPECT_EQ(view.text, "type");
    EXPECT_EQ(view.color, TextColor::Grey);
    EXPECT_EQ(field.currentSet(), "\u2303\u21E7Z");
    EXPECT_EQ(calls.log, std::vector<std::string>{"active"});
    EXPECT_TRUE(NSMyScrollView::drawsFocusRing(window.isKeyWindow(), window.firstResponder(), field));
    EXPECT_FALSE(NSMyScrollView::drawsFocusRing(false, window.firstResponder(), field));
    EXPECT_FALSE(NSMyScrollView::drawsFocusRing(true, window.firstResponder(), window.text(1)));
}

// Glyphs in the order Control, Option, Shift, Command, whatever the press order.
TEST_F(Recorder, RecordsAKeyHeldWithModifiersAndResigns) {
    focus();
    flags(kCmd);
    flags(kCmd | kSh);
    flags(kCmd | kSh | kOpt);
    EXPECT_EQ(view.text, "\u2325\u21E7\u2318");
    flags(kSh | kOpt);
    flags(kSh);
    flags(kCtl | kSh);
    EXPECT_EQ(view.text, "\u2303\u21E7");
    EXPECT_EQ(view.color, TextColor::Black);
    key(0, kCtl | kSh, "a");

    EXPECT_EQ(view.text, "\u2303\u21E7A");
    EXPECT_EQ(view.color, TextColor::Black);
    EXPECT_TRUE(field.currentControl() && field.currentShift() && !field.currentAlt() && !field.currentCommand());
    EXPECT_EQ(field.currentKeyCode(), 0u);
    EXPECT_EQ(field.currentChar(), "A");
    EXPECT_FALSE(field.editing());
    EXPECT_EQ(window.firstResponder(), nullptr);
    EXPECT_EQ(calls.log, (std::vector<std::string>{"active", "remove", "save", "focus", "inactive"}));
}

TEST_F(Recorder, KeyWithoutModifierIsRefusedAndRecordingGoesOn) {
    focus();
    key(6, 0, "z");
    EXPECT_TRUE(field.editing());
    EXPECT_EQ(view.text, "type");
    EXPECT_EQ(calls.log, std::vector<std::string>{"active"});
    // Caps Lock alone is no modifier either.
    flags(kCapsLock);
    key(6, kCapsLock, "z");
    EXPECT_TRUE(field.editing());
    EXPECT_EQ(field.currentChar(), "");
    // Releasing every modifier shows the grey prompt again.
    flags(kOpt);
    flags(0);
    EXPECT_EQ(view.text, "type");
    EXPECT_EQ(view.color, TextColor::Grey);
}

TEST_F(Recorder, EscapeAloneCancelsAndWithAModifierIsRecorded) {
    focus();
    key(53, 0, "\x1b");
    EXPECT_FALSE(field.editing());
    EXPECT_EQ(view.text, "\u2303\u21E7Z");
    EXPECT_EQ(view.color, TextColor::Black);
    EXPECT_EQ(calls.log, (std::vector<std::string>{"active", "focus", "inactive"}));
    // With a modifier Escape is a key like any other.
    focus();
    flags(kCmd);
    key(53, kCmd, "\x1b");
    EXPECT_EQ(view.text, "\u2318\u238B");
    EXPECT_EQ(field.currentKeyCode(), 53u);
    EXPECT_TRUE(field.currentCommand());
}

TEST_F(Recorder, ModifierHeldBeforeTheFocusDoesNotCountUntilAModifierChanges) {
    flags(kCtl);   // held while idle: noted, nothing shown
    EXPECT_EQ(view.text, "\u2303\u21E7Z");
    focus();
    key(0, kCtl, "a");
    EXPECT_TRUE(field.editing());
    EXPECT_EQ(view.text, "type");
    flags(kCtl | kOpt);
    key(0, kCtl | kOpt, "a");
    EXPECT_EQ(view.text, "\u2303\u2325A");
}

TEST_F(Recorder, LosingTheFocusMidRecordingKeepsTheOldCombination) {
    focus();
    flags(kCtl);
    window.makeFirstResponder(nullptr);
    EXPECT_FALSE(field.editing());
    EXPECT_EQ(view.text, "\u2303\u21E7Z");
    EXPECT_EQ(calls.log, (std::vector<std::string>{"active", "inactive"}));
    // Keys after the focus has gone are not the recorder's.
    key(0, kCtl, "a");
    EXPECT_EQ(field.currentChar(), "");
}

struct LabelCase {
    std::uint16_t code;
    std::string characters;
    std::string label;
};

class KeyLabels : public ::testing::TestWithParam<LabelCase> {};

TEST_P(KeyLabels, FixedSymbolsOrCapitalisedCharacters) {
    EXPECT_EQ(keyLabel(GetParam().code, GetParam().characters), GetParam().label);
}

INSTANTIATE_TEST_SUITE_P(
    Recorder, KeyLabels,
    ::testing::Values(LabelCase{51, "\x7f", "\u232B"}, LabelCase{123, "", "\u2190"}, LabelCase{48, "\t", "\u21E5"},
                      LabelCase{36, "\r", "\u21A9"}, LabelCase{53, "\x1b", "\u238B"}, LabelCase{6, "z", "Z"},
                      LabelCase{18, "1", "1"}, LabelCase{27, "-", "-"}, LabelCase{111, "F12", "F12"},
                      LabelCase{116, "page up", "Page Up"}, LabelCase{41, "\xc3\xb6", "\xc3\x96"},   // ö → Ö
                      LabelCase{41, "\xc3\x9f", "\xc3\x9f"}));                                        // ß stays

} // namespace
} // namespace dimwell
