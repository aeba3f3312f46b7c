#include "settings/NSMyTextField.h"

#include "app/Preferences.h"
#include "platform/ports/SettingsViews.h"

namespace dimwell {
namespace {

constexpr const char* kPrompt = "type";
constexpr std::uint16_t kEscapeKeyCode = 53;
constexpr double kRecorderHeight = 18.0;

bool isAsciiLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

} // namespace

std::string modifierGlyphs(std::uint64_t flags) {
    std::string s;
    if (flags & kControlKeyMask) s += "\u2303";
    if (flags & kOptionKeyMask) s += "\u2325";
    if (flags & kShiftKeyMask) s += "\u21E7";
    if (flags & kCommandKeyMask) s += "\u2318";
    return s;
}

std::string capitalized(const std::string& text) {
    std::string out = text;
    bool wordStart = true;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (isAsciiLetter(c)) {
            out[i] = static_cast<char>(wordStart ? (c & ~0x20) : (c | 0x20));
            wordStart = false;
        } else if (c == 0xC3 && i + 1 < out.size()) {
            // Latin-1 letters U+00C0..U+00FE: the case bit is 0x20 of the second byte;
            // ×, ÷, ß and ÿ are left alone.
            auto& next = reinterpret_cast<unsigned char&>(out[i + 1]);
            if (next != 0x97 && next != 0xB7 && next != 0x9F && next != 0xBF) {
                next = static_cast<unsigned char>(wordStart ? (next & ~0x20) : (next | 0x20));
            }
            wordStart = false;
            ++i;
        } else if (c < 0x80) {
            wordStart = !(c >= '0' && c <= '9') && c != '\'';
        } else {
            wordStart = false;
        }
    }
    return out;
}

std::string keyLabel(std::uint16_t keyCode, const std::string& characters) {
    if (std::optional<std::string> symbol = fixedKeySymbol(keyCode)) {
        return *symbol;
    }
    return capitalized(characters);
}

NSMyTextField::NSMyTextField(RecorderTextView& view, LogSink& log) : view_(view), log_(log) {}

void NSMyTextField::fitTextContainer() {
    const Size frame = view_.frameSize();
    view_.setTextContainer({frame.width, frame.height - 2.0}, {0.0, 2.0});
}

void NSMyTextField::show(const std::string& text, bool black) {
    view_.setTextColor(black ? TextColor::Black : TextColor::Grey);
    view_.setString(text);
}

// The text is a plain value owned by the field alone.
void NSMyTextField::logOwners() const { log_("currentSet retain count: %lu", 1UL); }

void NSMyTextField::awakeFromNib() {
    view_.setFocusRingType(FocusRingType::Exterior);
    view_.setEditable(false);
    view_.setSelectable(true);
    view_.setCentered();
    currentSet_.clear();
    currentSet_.reserve(10);
    view_.setFrameHeight(kRecorderHeight);
    fitTextContainer();
}

bool NSMyTextField::acceptsFirstResponder() const { return view_.isSelectable(); }

bool NSMyTextField::becomeFirstResponder() {
    log_("became first responder");
    if (mydelegate_) {
        mydelegate_->setMyActiveTextView(true);
    }
    editing_ = true;
    fitTextContainer();
    currentSet_ = view_.string();
    log_("%s", currentSet_.c_str());
    show(kPrompt, false);
    view_.setContentViewNeedsDisplay();
    modifiers_.clear();
    logOwners();
    return true;
}

void NSMyTextField::flagsChanged(const RecorderKeyEvent& event) {
    const std::string held = modifierGlyphs(event.modifierFlags);
    modifiers_ = held;
    log_("detected modifiers: %s", held.c_str());
    if (editing_) {
        if (!held.empty()) {
            show(held, true);
        } else {
            show(kPrompt, false);
        }
    }
}

void NSMyTextField::keyDown(const RecorderKeyEvent& event) {
    if (!editing_) {
        return;
    }
    if (modifiers_.empty()) {
        // Without a modifier a key would fire in every program: refused, except
        // Escape, which cancels.
        show(kPrompt, false);
        if (event.keyCode == kEscapeKeyCode && mydelegate_) {
            mydelegate_->setFirstResponder(nullptr);
        }
    } else {
        const std::string label = keyLabel(event.keyCode, event.charactersIgnoringModifiers);
        currentChar_ = label;
        const std::string shown = modifiers_ + label;
        show(shown, true);
        currentSet_ = shown;
        currentCommand_ = (event.modifierFlags & kCommandKeyMask) != 0;
        currentShift_ = (event.modifierFlags & kShiftKeyMask) != 0;
        currentAlt_ = (event.modifierFlags & kOptionKeyMask) != 0;
        currentControl_ = (event.modifierFlags & kControlKeyMask) != 0;
        currentKeyCode_ = event.keyCode;
        editing_ = false;
        if (mydelegate_) {
            mydelegate_->removeFromOther(*this);
            mydelegate_->saveHotkeys();
        }
        log_("mode: %s", mode_.c_str());
        if (mydelegate_) {
            mydelegate_->setFirstResponder(nullptr);
        }
        log_("detected key down: %s", shown.c_str());
        logOwners();
    }
    log_("keycode: %d", static_cast<int>(event.keyCode));
}

void NSMyTextField::refuseKey(const std::string& name) {
    if (!editing_) {
        return;
    }
    show(kPrompt, false);
    log_("key %s cannot be part of a shortcut", name.c_str());
}

bool NSMyTextField::resignFirstResponder() {
    editing_ = false;
    if (mydelegate_) {
        mydelegate_->setMyActiveTextView(false);
    }
    log_("hrm %s", currentSet_.c_str());
    log_("resigned first responder");
    show(currentSet_, true);
    view_.setNeedsDisplay();
    view_.setContentViewNeedsDisplay();
    logOwners();
    return true;
}

} // namespace dimwell
