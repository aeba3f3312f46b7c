#include "app/Preferences.h"

#include "common/Log.h"
#include "platform/ports/Bundle.h"
#include "platform/ports/Defaults.h"

#include <cmath>

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
    return static_cast<float>(v->asDouble().value_or(0.0));
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
        const std::int64_t code = k->asInteger().value_or(0);
        // Key codes are small; anything else is damage and reads as no key.
        r.keycode = (code >= 0 && code <= 0xFFFF) ? static_cast<std::uint32_t>(code) : 0;
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
    return on && record && record->hasModifier();
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

} // namespace

bool loadDefaults(Defaults& defaults, const Bundle& bundle, const Logger* log) {
    bool firstRun = false;
    const float opacity = floatForKey(defaults, prefkey::opacity);
    if (opacity == 0.0f) {
        firstRun = true;
        setFloat(defaults, prefkey::opacity, 0.8f);
        setBool(defaults, prefkey::bringToFront, true);
        setBool(defaults, prefkey::clickOut, true);
        setBool(defaults, prefkey::currentOnly, false);
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
