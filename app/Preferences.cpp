#include "app/Preferences.h"

#include "common/Log.h"
#include "platform/ports/Bundle.h"
#include "platform/ports/Defaults.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace dimwell {

const std::vector<std::string>& modeNames() {
    static const std::vector<std::string> names = {mode::selectMode,      mode::closeOverlay,    mode::patternMode,
                                                   mode::windowMode,      mode::viewMode,        mode::increaseOpacity,
                                                   mode::decreaseOpacity, mode::clickoutToggle};
    return names;
}

std::uint32_t hotkeyIdForMode(const std::string& modeName) {
    const auto& names = modeNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == modeName) {
            return static_cast<std::uint32_t>(i + 1);
        }
    }
    return 0;
}

float floatForKey(const Defaults& defaults, const std::string& key) {
    const auto v = defaults.object(key);
    if (!v) {
        return 0.0f;
    }
    const double d = v->asDouble().value_or(0.0);
    // Beyond the float range the conversion is undefined: say infinite instead.
    if (!(std::fabs(d) <= static_cast<double>(std::numeric_limits<float>::max()))) {
        constexpr float inf = std::numeric_limits<float>::infinity();
        return std::isnan(d) ? std::numeric_limits<float>::quiet_NaN() : (d > 0.0 ? inf : -inf);
    }
    return static_cast<float>(d);
}

bool boolForKey(const Defaults& defaults, const std::string& key) {
    const auto v = defaults.object(key);
    return v && v->asBool().value_or(false);
}

std::optional<Array> arrayForKey(const Defaults& defaults, const std::string& key) {
    const auto v = defaults.object(key);
    if (!v || !v->asArray()) {
        return std::nullopt;
    }
    return *v->asArray();
}

std::optional<Dictionary> dictionaryForKey(const Defaults& defaults, const std::string& key) {
    const auto v = defaults.object(key);
    if (!v || !v->asDictionary()) {
        return std::nullopt;
    }
    return *v->asDictionary();
}

void setFloat(Defaults& defaults, const std::string& key, float value) {
    defaults.setObject(key, Value::real(static_cast<double>(value)));
}

void setBool(Defaults& defaults, const std::string& key, bool value) { defaults.setObject(key, Value::boolean(value)); }

bool isDrawableOpacity(double value) { return std::isfinite(value) && value >= 0.0 && value <= 1.0; }

float bandedOpacity(double value) {
    if (std::isnan(value)) {
        return kSeededOpacity;
    }
    if (value > static_cast<double>(kHighestOpacity)) {
        return kHighestOpacity;
    }
    const float v = static_cast<float>(value);
    return static_cast<double>(v) < 0.2 ? kLowestOpacity : v;
}

float steppedOpacity(const Defaults& defaults, double delta) {
    const double stored = static_cast<double>(floatForKey(defaults, prefkey::opacity));
    return bandedOpacity((isDrawableOpacity(stored) ? stored : static_cast<double>(kSeededOpacity)) + delta);
}

std::uint32_t HotkeyRecord::hotkeyModifiers() const {
    return (command ? 256u : 0u) + (shift ? 512u : 0u) + (option ? 2048u : 0u) + (control ? 4096u : 0u);
}

std::uint64_t HotkeyRecord::menuModifierMask() const {
    return (control ? 0x40000u : 0u) + (option ? 0x80000u : 0u) + (shift ? 0x20000u : 0u) + (command ? 0x100000u : 0u);
}

std::string HotkeyRecord::glyphs() const {
    std::string s;
    if (control) s += "\u2303";
    if (option) s += "\u2325";
    if (shift) s += "\u21E7";
    if (command) s += "\u2318";
    return s;
}

std::string HotkeyRecord::displayString() const { return glyphs() + character.value_or(""); }

HotkeyRecord HotkeyRecord::fromValue(const Value* value) {
    HotkeyRecord r;
    if (!value || !value->asDictionary()) {
        return r;
    }
    const auto flag = [value](const char* key) {
        const Value* v = lookup(*value, key);
        return v && v->asBool().value_or(false);
    };
    r.control = flag("control");
    r.option = flag("option");
    r.shift = flag("shift");
    r.command = flag("command");
    if (const Value* k = lookup(*value, "keycode")) {
        // Taken by its integer value; NaN fails both comparisons.
        const double number = k->asDouble().value_or(-1.0);
        r.hasKey = number >= 0.0 && number < static_cast<double>(kHighestKeyCode + 1);
        r.keycode = r.hasKey ? static_cast<std::uint32_t>(number) : 0;
    }
    if (const Value* c = lookup(*value, "character"); c && c->asString()) {
        r.character = *c->asString();
    }
    return r;
}

Value HotkeyRecord::toValue(const Value* base) const {
    Dictionary d;
    if (base && base->asDictionary()) {
        d = *base->asDictionary();
    }
    d["control"] = Value::boolean(control);
    d["option"] = Value::boolean(option);
    d["shift"] = Value::boolean(shift);
    d["command"] = Value::boolean(command);
    d["keycode"] = Value::integer(keycode);
    d["character"] = Value::string(character.value_or(""));
    return Value::dictionary(std::move(d));
}

HotkeySettingsEntry HotkeySettingsEntry::fromValue(const Value& value) {
    HotkeySettingsEntry e;
    if (const Value* m = lookup(value, "mode"); m && m->asString()) {
        e.mode = *m->asString();
    }
    if (const Value* n = lookup(value, "name"); n && n->asString()) {
        e.name = *n->asString();
    }
    if (const Value* en = lookup(value, "enabled")) {
        e.enabled = en->asBool().value_or(false);
    }
    return e;
}

std::optional<HotkeyRecord> userHotkey(const Defaults& defaults, const std::string& modeName) {
    const auto hotkeys = dictionaryForKey(defaults, prefkey::userHotkeys);
    if (!hotkeys) {
        return std::nullopt;
    }
    const Value* record = lookup(*hotkeys, modeName);
    if (!record) {
        return std::nullopt;
    }
    return HotkeyRecord::fromValue(record);
}

std::vector<HotkeySettingsEntry> hotkeySettings(const Defaults& defaults) {
    std::vector<HotkeySettingsEntry> rows;
    if (const auto array = arrayForKey(defaults, prefkey::hotkeySettings)) {
        for (const Value& v : *array) {
            if (v.asDictionary()) {
                rows.push_back(HotkeySettingsEntry::fromValue(v));
            }
        }
    }
    return rows;
}

bool isShortcutActive(const Defaults& defaults, const std::string& modeName) {
    bool on = false;
    for (const HotkeySettingsEntry& e : hotkeySettings(defaults)) {
        if (e.mode == modeName && e.enabled) {
            on = true;
        }
    }
    const auto record = userHotkey(defaults, modeName);
    return on && record && record->isUsable();
}

std::vector<std::string> modesWithoutUsableShortcut(const Defaults& defaults) {
    const std::vector<HotkeySettingsEntry> rows = hotkeySettings(defaults);
    std::vector<std::string> modes;
    for (const std::string& m : modeNames()) {
        const bool on = std::any_of(rows.begin(), rows.end(), [&](const auto& e) { return e.mode == m && e.enabled; });
        const auto record = userHotkey(defaults, m);
        if (on && !(record && record->isUsable())) {
            modes.push_back(m);
        }
    }
    return modes;
}

namespace {

/// A value of the wrong kind is as good as absent: nobody could read it.
bool presentAs(const Defaults& defaults, const std::string& key, Value::Kind kind, const Logger* log) {
    const auto v = defaults.object(key);
    if (!v) {
        return false;
    }
    if (v->kind() != kind) {
        if (log) {
            (*log)("preference \"%s\" has an unexpected type; seeding it again", key.c_str());
        }
        return false;
    }
    return true;
}

enum class StoredOpacity { NeverSet, Usable, Damaged };

/// Only a key that was never set (or the 0.0 an unset float reads as) is a
/// first run; a value that is there but unusable is damage to one setting.
StoredOpacity classifyOpacity(const Defaults& defaults, std::string& why) {
    const auto v = defaults.object(prefkey::opacity);
    if (!v) {
        why = "it holds a value of a type that cannot be read";
        return defaults.holdsUnreadableValue(prefkey::opacity) ? StoredOpacity::Damaged : StoredOpacity::NeverSet;
    }
    if (!v->asDouble()) {
        why = "it is not a number";
        return StoredOpacity::Damaged;
    }
    // Judged as the float every reader takes it as.
    const double asFloat = static_cast<double>(floatForKey(defaults, prefkey::opacity));
    if (asFloat == 0.0) {
        return StoredOpacity::NeverSet;
    }
    if (!isDrawableOpacity(asFloat)) {
        why = formatString("%g is not between 0 and 1", asFloat);
        return StoredOpacity::Damaged;
    }
    return StoredOpacity::Usable;
}

/// One line per record whose key code names no key: it stays off until re-recorded.
void logDamagedKeyCodes(const Defaults& defaults, const Logger& log) {
    const auto hotkeys = dictionaryForKey(defaults, prefkey::userHotkeys);
    if (!hotkeys) {
        return;
    }
    for (const auto& [modeName, value] : *hotkeys) {
        if (!HotkeyRecord::fromValue(&value).hasKey) {
            log("preference \"%s\": the shortcut of \"%s\" has a damaged key code; it stays off until recorded again",
                prefkey::userHotkeys, modeName.c_str());
        }
    }
}

} // namespace

bool loadDefaults(Defaults& defaults, const Bundle& bundle, const Logger* log) {
    bool firstRun = false;
    std::string why;
    switch (classifyOpacity(defaults, why)) {
    case StoredOpacity::NeverSet:
        firstRun = true;
        setFloat(defaults, prefkey::opacity, kSeededOpacity);
        setBool(defaults, prefkey::bringToFront, true);
        setBool(defaults, prefkey::clickOut, true);
        setBool(defaults, prefkey::currentOnly, false);
        break;
    case StoredOpacity::Damaged:
        if (log) {
            (*log)("preference \"%s\" is damaged (%s); seeding it again with %.1f", prefkey::opacity, why.c_str(),
                   static_cast<double>(kSeededOpacity));
        }
        setFloat(defaults, prefkey::opacity, kSeededOpacity);
        break;
    case StoredOpacity::Usable: break;
    }
    if (!presentAs(defaults, prefkey::userHotkeys, Value::Kind::Map, log)) {
        if (const auto plist = bundle.propertyList("hotkeys")) {
            if (const Value* preset = lookup(*plist, "default1"); preset && preset->asDictionary()) {
                defaults.setObject(prefkey::userHotkeys, *preset);
            }
        }
    }
    if (!presentAs(defaults, prefkey::hotkeySettings, Value::Kind::List, log)) {
        if (const auto plist = bundle.propertyList("hotkeySettings")) {
            if (const Value* rows = lookup(*plist, "hotkeyarray"); rows && rows->asArray()) {
                defaults.setObject(prefkey::hotkeySettings, *rows);
            }
        }
    }
    if (log) {
        logDamagedKeyCodes(defaults, *log);
    }
    if (!defaults.synchronize() && log) {
        (*log)("could not write the preferences to disk");
    }
    return firstRun;
}

std::optional<std::string> fixedKeySymbol(std::uint32_t keycode) {
    switch (keycode) {
    case 51: return "\u232B";
    case 123: return "\u2190";
    case 124: return "\u2192";
    case 125: return "\u2193";
    case 126: return "\u2191";
    case 48: return "\u21E5";
    case 36: return "\u21A9";
    case 53: return "\u238B";
    default: return std::nullopt;
    }
}

} // namespace dimwell
