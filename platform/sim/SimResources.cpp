#include "platform/sim/SimResources.h"

namespace dimwell::simres {

Value record(unsigned mods, std::int64_t keycode, const std::string& character) {
    return Value::dictionary({
        {"control", Value::boolean((mods & Control) != 0)},
        {"option", Value::boolean((mods & Option) != 0)},
        {"shift", Value::boolean((mods & Shift) != 0)},
        {"command", Value::boolean((mods & Command) != 0)},
        {"keycode", Value::integer(keycode)},
        {"character", Value::string(character)},
    });
}

Value row(const std::string& mode, bool enabled, const std::string& name) {
    return Value::dictionary({
        {"mode", Value::string(mode)},
        {"name", Value::string(name.empty() ? mode : name)},
        {"enabled", Value::integer(enabled ? 1 : 0)},
    });
}

Value default1Preset() {
    const unsigned cs = Control | Shift;
    return Value::dictionary({
        {"selectMode", record(cs, kVK_Z, "Z")},
        {"closeOverlay", record(cs, kVK_A, "A")},
        {"patternMode", record(cs, kVK_C, "C")},
        {"windowMode", record(cs, kVK_X, "X")},
        {"viewMode", record(cs, kVK_V, "V")},
        {"increaseOpacity", record(cs, kVK_Up, "\u2191")},
        {"decreaseOpacity", record(cs, kVK_Down, "\u2193")},
        {"clickoutToggle", record(cs, kVK_K, "K")},
    });
}

Value default2Preset() {
    const unsigned ca = Control | Option;
    return Value::dictionary({
        {"selectMode", record(ca, 18, "1")},
        {"closeOverlay", record(ca, 19, "2")},
        {"patternMode", record(ca, 20, "3")},
        {"windowMode", record(ca, 21, "4")},
        {"viewMode", record(ca, 23, "5")},
        {"increaseOpacity", record(ca, 24, "=")},
        {"decreaseOpacity", record(ca, 27, "-")},
        {"clickoutToggle", record(ca, 22, "6")},
    });
}

Value hotkeysPlist() {
    return Value::dictionary({{"default1", default1Preset()}, {"default2", default2Preset()}});
}

Value hotkeyArray() {
    return Value::array({
        row("selectMode", true, "Select a region"),
        row("closeOverlay", true, "Close the overlay"),
        row("patternMode", true, "Pattern mode"),
        row("windowMode", true, "Window mode"),
        row("viewMode", true, "View mode"),
        row("increaseOpacity", true, "Increase opacity"),
        row("decreaseOpacity", true, "Decrease opacity"),
        row("clickoutToggle", true, "Toggle click-out"),
    });
}

Value hotkeySettingsPlist() { return Value::dictionary({{"hotkeyarray", hotkeyArray()}}); }

} // namespace dimwell::simres
