#pragma once
// Stored shortcuts name keys by virtual key code: the physical position on a US
// ANSI keyboard. X names keys by keysym. This is the one table between the two,
// used to grab a stored shortcut and to turn a recorded key press back into a
// stored code. Plain keysym numbers, so it needs no X headers.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace dimwell::x11 {

struct KeyTableEntry {
    std::uint32_t virtualKey;
    std::uint32_t keysym;     ///< what the key produces unshifted on a US layout
    std::string_view name;    ///< for log lines and labels
};

/// Every key a shortcut may use, plus the modifier keys themselves.
std::span<const KeyTableEntry> keyTable();

/// The keysym to grab for a stored code; nothing for a code outside the table.
std::optional<std::uint32_t> keysymForVirtualKey(std::uint32_t virtualKey);

/// The stored code for a pressed key. Also accepts what the same key produces
/// with Shift held or NumLock off (Z, !, ISO_Left_Tab, KP_Home), since a
/// recorded press arrives with its modifiers already applied.
std::optional<std::uint32_t> virtualKeyForKeysym(std::uint32_t keysym);

/// "Z", "F13", "Escape"; empty for a code outside the table.
std::string_view keyName(std::uint32_t virtualKey);

/// Command, Shift, Caps Lock, Option, Control (left and right) and Function:
/// never the key of a shortcut.
bool isModifierKey(std::uint32_t virtualKey);

} // namespace dimwell::x11
