#pragma once
// The user's active keyboard layout, read through libxkbcommon: which physical
// key a stored shortcut is pressed on, and what each key is called. The keymap
// comes from the desktop (the X server's, or the Wayland compositor's) through a
// source that follows it as it changes and tells whoever listens; until one
// comes, keys are named as on a US keyboard.

#include "common/Log.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace dimwell::x11 {

/// A key as keymaps number it: the X keycode, which on Wayland is the evdev code + 8 too.
using KeyCode = std::uint8_t;

class KeyboardLayout {
public:
    /// `log` may be null.
    explicit KeyboardLayout(LogSink* log);
    virtual ~KeyboardLayout();
    KeyboardLayout(const KeyboardLayout&) = delete;
    KeyboardLayout& operator=(const KeyboardLayout&) = delete;

    /// Holds a listener; it is called no more once this is gone.
    using Subscription = std::shared_ptr<void>;
    /// `onChange` runs after the keymap or the active layout group changed.
    [[nodiscard]] Subscription subscribe(std::function<void()> onChange);

    /// The physical key a stored code names, found by its XKB name; nothing when
    /// the code is unknown or this keyboard lacks the key.
    std::optional<KeyCode> physicalKey(std::uint32_t virtualKey) const;
    /// The stored code of a physical key; nothing for a key no code names.
    std::optional<std::uint32_t> virtualKeyOf(KeyCode keycode) const;

    /// The key a stored shortcut is pressed on (see the rule in the source);
    /// nothing when the code names no key this keyboard has.
    std::optional<KeyCode> keyFor(std::uint32_t virtualKey, std::string_view character) const;
    /// What `keycode` types in the active group without modifiers (NumLock on, so
    /// the keypad types digits), upper-cased; empty when it types nothing printable.
    std::string characters(KeyCode keycode) const;
    /// The text to show for a stored key: what the key it is pressed on types in
    /// the active layout, the fixed symbols for Return, Tab and the like, the
    /// key's name for keys that type nothing.
    std::string label(std::uint32_t virtualKey, std::string_view character) const;
    /// True for Shift, Control, Alt, AltGr, Super, the locks and their kin.
    bool isModifierKey(KeyCode keycode) const;
    /// The modifier bits AltGr sets when it is not plain Alt (0 otherwise): it
    /// counts as Option.
    std::uint16_t altGrMask() const { return altGrMask_; }

protected:
    // For the sources.
    /// Takes `keymap` (its reference is handed over; null: named as on a US
    /// keyboard) with layout group `group` active, and tells the listeners.
    void setKeymap(xkb_keymap* keymap, std::uint32_t group);
    /// Compiles a keymap as text (the format the X server and compositors hand
    /// out); false, after a log line, when it does not compile.
    bool setKeymapText(const std::string& text, std::uint32_t group);
    /// Another layout group of the same keymap is active.
    void setGroup(std::uint32_t group);
    bool hasKeymap() const { return keymap_ != nullptr; }
    std::uint32_t group() const { return group_; }
    xkb_context* context() const { return context_.get(); }
    void note(std::string_view line) const;

private:
    void loadState();
    void changed();
    std::uint32_t keysym(KeyCode keycode) const;
    std::optional<KeyCode> keyTyping(std::uint32_t keysym) const;

    struct Free {
        void operator()(xkb_context* p) const;
        void operator()(xkb_keymap* p) const;
        void operator()(xkb_state* p) const;
    };

    LogSink* log_;
    std::unique_ptr<xkb_context, Free> context_;
    std::unique_ptr<xkb_keymap, Free> keymap_;
    /// The active group alone, NumLock locked: what keys type "unshifted".
    std::unique_ptr<xkb_state, Free> plain_;
    std::uint32_t group_ = 0;
    std::uint16_t altGrMask_ = 0;
    std::vector<std::weak_ptr<std::function<void()>>> listeners_;
};

} // namespace dimwell::x11
