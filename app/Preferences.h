#pragma once
// The preference keys, the hotkey records and the rules everybody reads them by.

#include "common/PropertyValue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dimwell {

class Bundle;
class Defaults;

namespace prefkey {
inline constexpr const char* opacity = "opacity";
inline constexpr const char* bringToFront = "bringtofront";
inline constexpr const char* clickOut = "clickout";
inline constexpr const char* currentOnly = "currentonly";
inline constexpr const char* userHotkeys = "userhotkeys";
inline constexpr const char* hotkeySettings = "hotkeysettings";
} // namespace prefkey

namespace mode {
inline constexpr const char* selectMode = "selectMode";
inline constexpr const char* closeOverlay = "closeOverlay";
inline constexpr const char* patternMode = "patternMode";
inline constexpr const char* windowMode = "windowMode";
inline constexpr const char* viewMode = "viewMode";
inline constexpr const char* increaseOpacity = "increaseOpacity";
inline constexpr const char* decreaseOpacity = "decreaseOpacity";
inline constexpr const char* clickoutToggle = "clickoutToggle";
} // namespace mode

/// The eight mode names in hotkey-id order: id n is element n - 1.
const std::vector<std::string>& modeNames();
/// 1..8, or 0 for a name that is not a mode.
std::uint32_t hotkeyIdForMode(const std::string& modeName);

// Readers that never trust the stored type: absent or foreign values read as the
// documented default.
float floatForKey(const Defaults& defaults, const std::string& key);   ///< absent: 0.0
bool boolForKey(const Defaults& defaults, const std::string& key);     ///< absent: NO
std::optional<Array> arrayForKey(const Defaults& defaults, const std::string& key);
std::optional<Dictionary> dictionaryForKey(const Defaults& defaults, const std::string& key);
void setFloat(Defaults& defaults, const std::string& key, float value);
void setBool(Defaults& defaults, const std::string& key, bool value);

/// What a first run stores, and what replaces an opacity nobody can use.
inline constexpr float kSeededOpacity = 0.8f;
/// The band the opacity steps and the slider keep the veil in.
inline constexpr float kLowestOpacity = 0.2f;
inline constexpr float kHighestOpacity = 1.0f;
/// A veil alpha that can be drawn: finite and within 0.0 to 1.0.
bool isDrawableOpacity(double value);
/// `value` as a float within the band (compared in double precision, as the
/// steps always did); NaN becomes the seeded opacity.
float bandedOpacity(double value);
/// The stored opacity moved by `delta` and kept in the band; a stored value
/// that cannot be drawn steps from the seeded opacity instead.
float steppedOpacity(const Defaults& defaults, double delta);

/// A shortcut: which keys make it up.
struct HotkeyRecord {
    bool control = false;
    bool option = false;
    bool shift = false;
    bool command = false;
    std::uint32_t keycode = 0;
    std::optional<std::string> character;
    /// False when the stored key code is damaged (not a number, negative, too
    /// large): such a record names no key, so it is never registered nor shown
    /// in the menu, rather than standing for key code 0 (the A key).
    bool hasKey = true;

    bool hasModifier() const { return control || option || shift || command; }
    /// A global hotkey can be made from it.
    bool isUsable() const { return hasKey && hasModifier(); }
    /// Global hotkey modifiers: command 256, shift 512, option 2048, control 4096.
    std::uint32_t hotkeyModifiers() const;
    /// Menu key-equivalent mask: control 0x40000, option 0x80000, shift 0x20000, command 0x100000.
    std::uint64_t menuModifierMask() const;
    /// ⌃⌥⇧⌘ for the set flags, in that order.
    std::string glyphs() const;
    /// Glyphs followed by the key's text (⌃⇧Z).
    std::string displayString() const;

    /// Reads flags by boolean or integer value; missing flags NO, missing keycode 0.
    /// Virtual key codes are 7-bit: anything else stored there is damage.
    static constexpr std::int64_t kHighestKeyCode = 127;
    static HotkeyRecord fromValue(const Value* value);
    /// Writes all six keys over `base`, leaving other keys alone.
    Value toValue(const Value* base = nullptr) const;
    friend bool operator==(const HotkeyRecord&, const HotkeyRecord&) = default;
};

/// One row of the hotkey table.
struct HotkeySettingsEntry {
    std::string mode;
    std::string name;
    bool enabled = false;
    static HotkeySettingsEntry fromValue(const Value& value);
};

/// The record stored under `modeName` in "userhotkeys", read afresh.
std::optional<HotkeyRecord> userHotkey(const Defaults& defaults, const std::string& modeName);
/// The rows of "hotkeysettings", read afresh; entries that are not dictionaries are skipped.
std::vector<HotkeySettingsEntry> hotkeySettings(const Defaults& defaults);
/// Some entry of the mode is enabled and its record has a modifier and a key.
bool isShortcutActive(const Defaults& defaults, const std::string& modeName);
/// Modes switched on in "hotkeysettings" whose record cannot make a shortcut
/// (missing, no modifier, damaged key code), in hotkey-id order.
std::vector<std::string> modesWithoutUsableShortcut(const Defaults& defaults);

class Logger;
/// Seeds the store; true on a first run (opacity absent or exactly 0.0). Damaged
/// values are logged and seeded again alone: an opacity of a foreign type, NaN,
/// infinite or outside 0.0 to 1.0 becomes 0.8 and the other settings stay.
bool loadDefaults(Defaults& defaults, const Bundle& bundle, const Logger* log = nullptr);

/// A symbol for the key codes that have one (Delete, arrows, Tab, Return, Escape).
std::optional<std::string> fixedKeySymbol(std::uint32_t keycode);

} // namespace dimwell
