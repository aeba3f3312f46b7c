#include "platform/linux/keyboard/KeyTable.h"

#include <algorithm>
#include <iterator>

namespace dimwell::x11 {
namespace {

constexpr std::uint32_t kEvdevToX = 8;   // X keycodes are evdev codes shifted by 8

// Stored code; the same physical key as evdev code and by its XKB key name (the
// name every X keycode set and keymap gives it); the key's US name.
constexpr KeyTableEntry kTable[] = {
    {0, 30, "AC01", "A"}, {1, 31, "AC02", "S"}, {2, 32, "AC03", "D"}, {3, 33, "AC04", "F"},
    {4, 35, "AC06", "H"}, {5, 34, "AC05", "G"}, {6, 44, "AB01", "Z"}, {7, 45, "AB02", "X"},
    {8, 46, "AB03", "C"}, {9, 47, "AB04", "V"}, {11, 48, "AB05", "B"}, {12, 16, "AD01", "Q"},
    {13, 17, "AD02", "W"}, {14, 18, "AD03", "E"}, {15, 19, "AD04", "R"}, {16, 21, "AD06", "Y"},
    {17, 20, "AD05", "T"}, {31, 24, "AD09", "O"}, {32, 22, "AD07", "U"}, {34, 23, "AD08", "I"},
    {35, 25, "AD10", "P"}, {37, 38, "AC09", "L"}, {38, 36, "AC07", "J"}, {40, 37, "AC08", "K"},
    {45, 49, "AB06", "N"}, {46, 50, "AB07", "M"},

    {18, 2, "AE01", "1"}, {19, 3, "AE02", "2"}, {20, 4, "AE03", "3"}, {21, 5, "AE04", "4"},
    {22, 7, "AE06", "6"}, {23, 6, "AE05", "5"}, {25, 10, "AE09", "9"}, {26, 8, "AE07", "7"},
    {28, 9, "AE08", "8"}, {29, 11, "AE10", "0"},

    {24, 13, "AE12", "="}, {27, 12, "AE11", "-"}, {30, 27, "AD12", "]"}, {33, 26, "AD11", "["},
    {39, 40, "AC11", "'"}, {41, 39, "AC10", ";"}, {42, 43, "BKSL", "\\"}, {43, 51, "AB08", ","},
    {44, 53, "AB10", "/"}, {47, 52, "AB09", "."}, {50, 41, "TLDE", "`"},
    {10, 86, "LSGT", "\xc2\xa7"},   // the ISO key beside the left Shift

    {36, 28, "RTRN", "Return"}, {48, 15, "TAB", "Tab"}, {49, 57, "SPCE", "Space"}, {51, 14, "BKSP", "Delete"},
    {53, 1, "ESC", "Escape"}, {117, 111, "DELE", "Forward Delete"}, {114, 110, "INS", "Insert"},
    {115, 102, "HOME", "Home"}, {119, 107, "END", "End"}, {116, 104, "PGUP", "Page Up"},
    {121, 109, "PGDN", "Page Down"}, {123, 105, "LEFT", "Left"}, {124, 106, "RGHT", "Right"},
    {125, 108, "DOWN", "Down"}, {126, 103, "UP", "Up"},

    {122, 59, "FK01", "F1"}, {120, 60, "FK02", "F2"}, {99, 61, "FK03", "F3"}, {118, 62, "FK04", "F4"},
    {96, 63, "FK05", "F5"}, {97, 64, "FK06", "F6"}, {98, 65, "FK07", "F7"}, {100, 66, "FK08", "F8"},
    {101, 67, "FK09", "F9"}, {109, 68, "FK10", "F10"}, {103, 87, "FK11", "F11"}, {111, 88, "FK12", "F12"},
    {105, 183, "FK13", "F13"}, {107, 184, "FK14", "F14"}, {113, 185, "FK15", "F15"},
    {106, 186, "FK16", "F16"},

    {82, 82, "KP0", "Keypad 0"}, {83, 79, "KP1", "Keypad 1"}, {84, 80, "KP2", "Keypad 2"},
    {85, 81, "KP3", "Keypad 3"}, {86, 75, "KP4", "Keypad 4"}, {87, 76, "KP5", "Keypad 5"},
    {88, 77, "KP6", "Keypad 6"}, {89, 71, "KP7", "Keypad 7"}, {91, 72, "KP8", "Keypad 8"},
    {92, 73, "KP9", "Keypad 9"}, {65, 83, "KPDL", "Keypad ."}, {67, 55, "KPMU", "Keypad *"},
    {69, 78, "KPAD", "Keypad +"}, {75, 98, "KPDV", "Keypad /"}, {76, 96, "KPEN", "Keypad Enter"},
    {78, 74, "KPSU", "Keypad -"}, {81, 117, "KPEQ", "Keypad ="},

    {55, 125, "LWIN", "Command"}, {56, 42, "LFSH", "Shift"}, {57, 58, "CAPS", "Caps Lock"},
    {58, 56, "LALT", "Option"}, {59, 29, "LCTL", "Control"}, {54, 126, "RWIN", "Right Command"},
    {60, 54, "RTSH", "Right Shift"}, {61, 100, "RALT", "Right Option"}, {62, 97, "RCTL", "Right Control"},
};

const KeyTableEntry* entryForVirtualKey(std::uint32_t virtualKey) {
    const auto it = std::find_if(std::begin(kTable), std::end(kTable),
                                 [&](const KeyTableEntry& e) { return e.virtualKey == virtualKey; });
    return it == std::end(kTable) ? nullptr : &*it;
}

} // namespace

std::span<const KeyTableEntry> keyTable() { return kTable; }

std::optional<std::uint32_t> xKeycodeForVirtualKey(std::uint32_t virtualKey) {
    if (const KeyTableEntry* e = entryForVirtualKey(virtualKey)) {
        return e->evdev + kEvdevToX;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> virtualKeyForXKeycode(std::uint32_t keycode) {
    for (const KeyTableEntry& e : kTable) {
        if (e.evdev + kEvdevToX == keycode) {
            return e.virtualKey;
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> virtualKeyForXkbName(std::string_view xkbName) {
    for (const KeyTableEntry& e : kTable) {
        if (e.xkbName == xkbName) {
            return e.virtualKey;
        }
    }
    return std::nullopt;
}

std::string_view xkbKeyName(std::uint32_t virtualKey) {
    const KeyTableEntry* e = entryForVirtualKey(virtualKey);
    return e ? e->xkbName : std::string_view();
}

std::string_view keyName(std::uint32_t virtualKey) {
    const KeyTableEntry* e = entryForVirtualKey(virtualKey);
    return e ? e->name : std::string_view();
}

bool isModifierKey(std::uint32_t virtualKey) { return virtualKey >= 54 && virtualKey <= 63; }

} // namespace dimwell::x11
