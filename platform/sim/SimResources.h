#pragma once
// The two seed property lists, built as values, and small builders for hotkey
// records and settings rows.

#include "common/PropertyValue.h"

#include <cstdint>
#include <string>

namespace dimwell::simres {

/// Modifier flags of a record, as a writer would store them (booleans).
enum Mods : unsigned { None = 0, Control = 1, Option = 2, Shift = 4, Command = 8 };

/// A complete record: the four flags as booleans, "keycode" and "character".
Value record(unsigned mods, std::int64_t keycode, const std::string& character);
/// A settings row {"mode", "name", "enabled" as integer}.
Value row(const std::string& mode, bool enabled, const std::string& name = "");

/// Virtual key codes used by the presets.
inline constexpr std::int64_t kVK_A = 0, kVK_Z = 6, kVK_X = 7, kVK_C = 8, kVK_V = 9, kVK_K = 40;
inline constexpr std::int64_t kVK_Up = 126, kVK_Down = 125, kVK_Escape = 53;

/// "default1": the tutorial's shortcuts, each Control+Shift.
Value default1Preset();
/// "default2": a second, distinct preset.
Value default2Preset();
/// {"default1", "default2"}.
Value hotkeysPlist();
/// The eight rows in hotkey-id order, all enabled.
Value hotkeyArray();
/// {"hotkeyarray": hotkeyArray()}.
Value hotkeySettingsPlist();

} // namespace dimwell::simres
