#pragma once
// Qt key events as the hotkey recorder understands them: the stored code of the
// physical key pressed, what the active layout types on it, and the modifier
// bits. Never through localised key names.

#include "settings/NSMyTextField.h"

#include <Qt>

#include <cstdint>

namespace dimwell::x11 {

class KeyboardLayout;

/// Control, Alt or AltGr (Option), Shift and Meta/Super (Command) as the recorder's bits.
std::uint64_t recorderFlags(Qt::KeyboardModifiers modifiers);

/// The bit a modifier key itself stands for; 0 for any other key.
std::uint64_t modifierKeyFlag(int qtKey);

/// What a key press is to the recorder.
struct RecorderPress {
    enum class Kind {
        Key,        ///< a shortcut key: `event` holds its stored code and characters
        Modifier,   ///< Shift, a lock, AltGr and the like: no key of a shortcut
        NoCode,     ///< a key no stored code names: it could never be a shortcut
    };
    Kind kind = Kind::NoCode;
    RecorderKeyEvent event;
};

/// The press of key `keycode` (X keycode; evdev + 8 on Wayland): its stored code, and what the active layout
/// types on it unshifted (upper-cased, "É", "Я"), or its name when it types nothing.
RecorderPress recorderPress(std::uint32_t keycode, std::uint64_t flags, const KeyboardLayout& layout);

} // namespace dimwell::x11
