#pragma once
// The hotkey recorder: a one-line field that, while it has the keyboard focus,
// follows the held modifiers and records the first key pressed with at least
// one of them.

#include "common/Log.h"

#include <cstdint>
#include <string>

namespace dimwell {

class RecorderTextView;
class NSMyTextField;

/// Modifier bits of a key event; every other bit (Caps Lock, keypad, function) is ignored.
inline constexpr std::uint64_t kControlKeyMask = 0x40000;
inline constexpr std::uint64_t kOptionKeyMask = 0x80000;
inline constexpr std::uint64_t kShiftKeyMask = 0x20000;
inline constexpr std::uint64_t kCommandKeyMask = 0x100000;

/// A key press or modifier change, whatever platform it came from.
struct RecorderKeyEvent {
    std::uint16_t keyCode = 0;                ///< virtual key code
    std::uint64_t modifierFlags = 0;
    std::string charactersIgnoringModifiers;
    friend bool operator==(const RecorderKeyEvent&, const RecorderKeyEvent&) = default;
};

/// ⌃⌥⇧⌘ for the set bits, always in that order.
std::string modifierGlyphs(std::uint64_t modifierFlags);
/// The stored "character" of a key: a fixed symbol for Delete, the arrows, Tab,
/// Return and Escape, otherwise `characters` capitalised.
std::string keyLabel(std::uint16_t keyCode, const std::string& characters);
/// Upper-cases the first letter of each word and lower-cases the rest
/// (ASCII and Latin-1 letters; anything else stays as it is).
std::string capitalized(const std::string& text);

/// What a recorder tells the settings window.
class MyNSTextFieldDelegate {
public:
    virtual ~MyNSTextFieldDelegate() = default;
    /// True while a recorder records: the global hotkeys must stay quiet.
    virtual void setMyActiveTextView(bool active) = 0;
    virtual void removeFromOther(NSMyTextField& recorder) = 0;
    virtual void saveHotkeys() = 0;
    /// Takes the focus from the recorder and redraws the window's content.
    virtual void setFirstResponder(NSMyTextField* responder) = 0;
};

class NSMyTextField {
public:
    NSMyTextField(RecorderTextView& view, LogSink& log);
    NSMyTextField(const NSMyTextField&) = delete;
    NSMyTextField& operator=(const NSMyTextField&) = delete;

    void awakeFromNib();
    /// A recorder whose row is switched off cannot be selected, nor focused.
    bool acceptsFirstResponder() const;
    bool becomeFirstResponder();
    void flagsChanged(const RecorderKeyEvent& event);
    void keyDown(const RecorderKeyEvent& event);
    /// A key that can never be a shortcut (no stored code names it): refused
    /// like a key without a modifier, and named in the log.
    void refuseKey(const std::string& name);
    bool resignFirstResponder();

    RecorderTextView& view() const { return view_; }

    const std::string& currentSet() const { return currentSet_; }
    void setCurrentSet(std::string s) { currentSet_ = std::move(s); }
    const std::string& modifiers() const { return modifiers_; }
    void setModifiers(std::string s) { modifiers_ = std::move(s); }
    const std::string& mode() const { return mode_; }
    void setMode(std::string s) { mode_ = std::move(s); }
    std::uint32_t currentKeyCode() const { return currentKeyCode_; }
    void setCurrentKeyCode(std::uint32_t code) { currentKeyCode_ = code; }
    const std::string& currentChar() const { return currentChar_; }
    void setCurrentChar(std::string s) { currentChar_ = std::move(s); }
    bool currentControl() const { return currentControl_; }
    void setCurrentControl(bool on) { currentControl_ = on; }
    bool currentAlt() const { return currentAlt_; }
    void setCurrentAlt(bool on) { currentAlt_ = on; }
    bool currentShift() const { return currentShift_; }
    void setCurrentShift(bool on) { currentShift_ = on; }
    bool currentCommand() const { return currentCommand_; }
    void setCurrentCommand(bool on) { currentCommand_ = on; }
    MyNSTextFieldDelegate* mydelegate() const { return mydelegate_; }
    void setMydelegate(MyNSTextFieldDelegate* delegate) { mydelegate_ = delegate; }
    bool editing() const { return editing_; }

private:
    void fitTextContainer();
    void show(const std::string& text, bool black);
    void logOwners() const;

    RecorderTextView& view_;
    Logger log_;

    std::string modifiers_;
    MyNSTextFieldDelegate* mydelegate_ = nullptr;
    bool editing_ = false;
    std::string currentSet_;
    bool currentCommand_ = false;
    bool currentShift_ = false;
    bool currentAlt_ = false;
    bool currentControl_ = false;
    std::string currentChar_;
    std::uint32_t currentKeyCode_ = 0;
    std::string mode_;
};

} // namespace dimwell
