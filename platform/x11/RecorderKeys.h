#pragma once
// Qt key events as the hotkey recorder understands them: the stored virtual key
// code through the one key table the global hotkeys use, the modifier bits, and
// the key's unshifted characters. Never through localised key names.

#include "settings/NSMyTextField.h"

#include <Qt>

#include <cstdint>
#include <optional>
#include <string>

namespace dimwell::x11 {

/// Control, Alt (Option), Shift and Meta/Super (Command) as the recorder's bits.
std::uint64_t recorderFlags(Qt::KeyboardModifiers modifiers);

/// The bit a modifier key itself stands for; 0 for any other key.
std::uint64_t modifierKeyFlag(int qtKey);

/// What the key at `virtualKey` types without modifiers on a US layout ("a",
/// "1", "-"), or its name for keys that type nothing printable ("F5", "Space").
std::string unshiftedCharacters(std::uint32_t virtualKey);

/// The keysym of a key event: the native one when the platform gives it,
/// otherwise worked out from Qt's key code (offscreen and synthetic events).
std::uint32_t keysymOf(std::uint32_t nativeVirtualKey, int qtKey);

/// A key press for the recorder; nothing for a key outside the table, which
/// could never be grabbed as a hotkey.
std::optional<RecorderKeyEvent> recorderKeyDown(std::uint32_t keysym, std::uint64_t flags);

} // namespace dimwell::x11
