#pragma once
// The user's active keyboard layout, read through libxkbcommon: which physical
// key a stored shortcut is pressed on, and what each key is called. Follows the
// keyboard as it changes (another keymap loaded, another layout group chosen)
// and says so, so that grabs and labels can follow too.

#include "common/Log.h"

#include <QAbstractNativeEventFilter>

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace dimwell::x11 {

class KeyboardLayout final : private QAbstractNativeEventFilter {
public:
    /// `connection` is the toolkit's own: change notices arrive through the
    /// application's native event filter. `log` may be null.
    KeyboardLayout(xcb_connection_t* connection, LogSink* log);
    ~KeyboardLayout() override;
    KeyboardLayout(const KeyboardLayout&) = delete;
    KeyboardLayout& operator=(const KeyboardLayout&) = delete;

    /// Called after the keymap or the active layout group changed.
    void setOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }
    /// Reads the keymap and the active group from the server again.
    void reload();

    /// The physical key a stored code names, found by its XKB name; nothing when
    /// the code is unknown or this keyboard lacks the key.
    std::optional<xcb_keycode_t> physicalKey(std::uint32_t virtualKey) const;
    /// The stored code of a physical key; nothing for a key no code names.
    std::optional<std::uint32_t> virtualKeyOf(xcb_keycode_t keycode) const;

    /// The key a stored shortcut is pressed on (see the rule in the source);
    /// nothing when the code names no key this keyboard has.
    std::optional<xcb_keycode_t> keyFor(std::uint32_t virtualKey, std::string_view character) const;
    /// What `keycode` types in the active group without modifiers (NumLock on, so
    /// the keypad types digits), upper-cased; empty when it types nothing printable.
    std::string characters(xcb_keycode_t keycode) const;
    /// The text to show for a stored key: what the key it is pressed on types in
    /// the active layout, the fixed symbols for Return, Tab and the like, the
    /// key's name for keys that type nothing.
    std::string label(std::uint32_t virtualKey, std::string_view character) const;
    /// True for Shift, Control, Alt, AltGr, Super, the locks and their kin.
    bool isModifierKey(xcb_keycode_t keycode) const;
    /// The modifier bits AltGr sets when it is not plain Alt (0 otherwise): it
    /// counts as Option.
    std::uint16_t altGrMask() const { return altGrMask_; }

private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    void loadState();
    void note(std::string_view line) const;
    std::uint32_t keysym(xcb_keycode_t keycode) const;
    std::optional<xcb_keycode_t> keyTyping(std::uint32_t keysym) const;

    struct Free {
        void operator()(xkb_context* p) const;
        void operator()(xkb_keymap* p) const;
        void operator()(xkb_state* p) const;
    };

    xcb_connection_t* connection_;
    LogSink* log_;
    std::optional<std::uint8_t> xkbFirstEvent_;
    std::int32_t device_ = -1;
    std::unique_ptr<xkb_context, Free> context_;
    std::unique_ptr<xkb_keymap, Free> keymap_;
    /// The active group alone, NumLock locked: what keys type "unshifted".
    std::unique_ptr<xkb_state, Free> plain_;
    std::uint32_t group_ = 0;
    std::uint16_t altGrMask_ = 0;
    std::function<void()> onChange_;
};

} // namespace dimwell::x11
