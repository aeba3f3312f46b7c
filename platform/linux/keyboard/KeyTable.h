#pragma once
// Stored shortcuts name keys by virtual key code: a physical key position (the
// names are what a US ANSI keyboard prints on them). This table ties each code to
// its physical key: the evdev code (X keycode = evdev + 8 on evdev and libinput
// desktops) and the XKB key name, which names the key whatever keycode set the
// X server uses. What a key is called comes from the user's layout
// (KeyboardLayout), never from here.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace dimwell::x11 {

struct KeyTableEntry {
    std::uint32_t virtualKey;
    std::uint16_t evdev;      ///< the physical key (linux/input-event-codes.h)
    std::string_view xkbName; ///< the same key in XKB keymaps ("AC01", "UP")
    std::string_view name;    ///< for log lines, and labels of keys that type nothing
};

/// Every key a shortcut may use, plus the modifier keys themselves.
std::span<const KeyTableEntry> keyTable();

/// The X keycode of the physical key a stored code names on an evdev keyboard;
/// nothing for a code outside the table. KeyboardLayout::physicalKey asks the keymap.
std::optional<std::uint32_t> xKeycodeForVirtualKey(std::uint32_t virtualKey);

/// The stored code of a physical key; nothing for a key outside the table.
std::optional<std::uint32_t> virtualKeyForXKeycode(std::uint32_t keycode);

/// The stored code of the key XKB names `xkbName`; nothing for a key outside the table.
std::optional<std::uint32_t> virtualKeyForXkbName(std::string_view xkbName);
/// "AB01" for code 6; empty for a code outside the table.
std::string_view xkbKeyName(std::uint32_t virtualKey);

/// "Z", "F13", "Escape"; empty for a code outside the table.
std::string_view keyName(std::uint32_t virtualKey);

/// Command, Shift, Caps Lock, Option, Control (left and right) and Function:
/// never the key of a shortcut.
bool isModifierKey(std::uint32_t virtualKey);

} // namespace dimwell::x11
