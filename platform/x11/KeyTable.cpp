#include "platform/x11/KeyTable.h"

#include <algorithm>
#include <iterator>

namespace dimwell::x11 {
namespace {

// Keysym values from the X protocol's keysym list (X11/keysymdef.h).
constexpr std::uint32_t kF1 = 0xffbe;
constexpr std::uint32_t kKeypad0 = 0xffb0;

constexpr KeyTableEntry kTable[] = {
    {0, 'a', "A"}, {1, 's', "S"}, {2, 'd', "D"}, {3, 'f', "F"}, {4, 'h', "H"}, {5, 'g', "G"},
    {6, 'z', "Z"}, {7, 'x', "X"}, {8, 'c', "C"}, {9, 'v', "V"}, {11, 'b', "B"}, {12, 'q', "Q"},
    {13, 'w', "W"}, {14, 'e', "E"}, {15, 'r', "R"}, {16, 'y', "Y"}, {17, 't', "T"}, {31, 'o', "O"},
    {32, 'u', "U"}, {34, 'i', "I"}, {35, 'p', "P"}, {37, 'l', "L"}, {38, 'j', "J"}, {40, 'k', "K"},
    {45, 'n', "N"}, {46, 'm', "M"},

    {18, '1', "1"}, {19, '2', "2"}, {20, '3', "3"}, {21, '4', "4"}, {22, '6', "6"}, {23, '5', "5"},
    {25, '9', "9"}, {26, '7', "7"}, {28, '8', "8"}, {29, '0', "0"},

    {24, '=', "="}, {27, '-', "-"}, {30, ']', "]"}, {33, '[', "["}, {39, '\'', "'"}, {41, ';', ";"},
    {42, '\\', "\\"}, {43, ',', ","}, {44, '/', "/"}, {47, '.', "."}, {50, '`', "`"},
    {10, 0x00a7, "\xc2\xa7"},   // section sign

    {36, 0xff0d, "Return"}, {48, 0xff09, "Tab"}, {49, ' ', "Space"}, {51, 0xff08, "Delete"},
    {53, 0xff1b, "Escape"}, {117, 0xffff, "Forward Delete"}, {114, 0xff63, "Insert"},
    {115, 0xff50, "Home"}, {119, 0xff57, "End"}, {116, 0xff55, "Page Up"}, {121, 0xff56, "Page Down"},
    {123, 0xff51, "Left"}, {124, 0xff53, "Right"}, {125, 0xff54, "Down"}, {126, 0xff52, "Up"},

    {122, kF1 + 0, "F1"}, {120, kF1 + 1, "F2"}, {99, kF1 + 2, "F3"}, {118, kF1 + 3, "F4"},
    {96, kF1 + 4, "F5"}, {97, kF1 + 5, "F6"}, {98, kF1 + 6, "F7"}, {100, kF1 + 7, "F8"},
    {101, kF1 + 8, "F9"}, {109, kF1 + 9, "F10"}, {103, kF1 + 10, "F11"}, {111, kF1 + 11, "F12"},
    {105, kF1 + 12, "F13"}, {107, kF1 + 13, "F14"}, {113, kF1 + 14, "F15"}, {106, kF1 + 15, "F16"},

    {82, kKeypad0 + 0, "Keypad 0"}, {83, kKeypad0 + 1, "Keypad 1"}, {84, kKeypad0 + 2, "Keypad 2"},
    {85, kKeypad0 + 3, "Keypad 3"}, {86, kKeypad0 + 4, "Keypad 4"}, {87, kKeypad0 + 5, "Keypad 5"},
    {88, kKeypad0 + 6, "Keypad 6"}, {89, kKeypad0 + 7, "Keypad 7"}, {91, kKeypad0 + 8, "Keypad 8"},
    {92, kKeypad0 + 9, "Keypad 9"}, {65, 0xffae, "Keypad ."}, {67, 0xffaa, "Keypad *"},
    {69, 0xffab, "Keypad +"}, {75, 0xffaf, "Keypad /"}, {76, 0xff8d, "Keypad Enter"},
    {78, 0xffad, "Keypad -"}, {81, 0xffbd, "Keypad ="},

    {55, 0xffeb, "Command"}, {56, 0xffe1, "Shift"}, {57, 0xffe5, "Caps Lock"}, {58, 0xffe9, "Option"},
    {59, 0xffe3, "Control"}, {54, 0xffec, "Right Command"}, {60, 0xffe2, "Right Shift"},
    {61, 0xffea, "Right Option"}, {62, 0xffe4, "Right Control"},
};

struct Alias {
    std::uint32_t keysym;
    std::uint32_t virtualKey;
};

// What a table key produces with Shift (US layout), with NumLock off, or under
// another common name. Read one way only: a grab always uses the table's keysym
// and thereby every key that carries it.
constexpr Alias kAliases[] = {
    {'!', 18}, {'@', 19}, {'#', 20}, {'$', 21}, {'^', 22}, {'%', 23}, {'(', 25}, {'&', 26},
    {'*', 28}, {')', 29}, {'+', 24}, {'_', 27}, {'}', 30}, {'{', 33}, {'"', 39}, {':', 41},
    {'|', 42}, {'<', 43}, {'?', 44}, {'>', 47}, {'~', 50}, {0x00b1, 10},   // plus-minus
    {0xfe20, 48},                                                         // ISO_Left_Tab
    {0xff6a, 114},                                                        // Help
    {0xff9e, 82}, {0xff9c, 83}, {0xff99, 84}, {0xff9b, 85}, {0xff96, 86}, {0xff9d, 87},
    {0xff98, 88}, {0xff95, 89}, {0xff97, 91}, {0xff9a, 92}, {0xff9f, 65}, {0xffac, 65},
    {0xffe7, 58}, {0xffe8, 61}, {0xfe03, 61},   // Meta_L, Meta_R, ISO_Level3_Shift (AltGr)
};

constexpr bool isUpperLatin(std::uint32_t keysym) { return keysym >= 'A' && keysym <= 'Z'; }

const KeyTableEntry* entryForVirtualKey(std::uint32_t virtualKey) {
    const auto it = std::find_if(std::begin(kTable), std::end(kTable),
                                 [&](const KeyTableEntry& e) { return e.virtualKey == virtualKey; });
    return it == std::end(kTable) ? nullptr : &*it;
}

} // namespace

std::span<const KeyTableEntry> keyTable() { return kTable; }

std::optional<std::uint32_t> keysymForVirtualKey(std::uint32_t virtualKey) {
    if (const KeyTableEntry* e = entryForVirtualKey(virtualKey)) {
        return e->keysym;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> virtualKeyForKeysym(std::uint32_t keysym) {
    if (isUpperLatin(keysym)) {
        keysym += 'a' - 'A';
    }
    for (const KeyTableEntry& e : kTable) {
        if (e.keysym == keysym) {
            return e.virtualKey;
        }
    }
    for (const Alias& a : kAliases) {
        if (a.keysym == keysym) {
            return a.virtualKey;
        }
    }
    return std::nullopt;
}

std::string_view keyName(std::uint32_t virtualKey) {
    const KeyTableEntry* e = entryForVirtualKey(virtualKey);
    return e ? e->name : std::string_view();
}

bool isModifierKey(std::uint32_t virtualKey) { return virtualKey >= 54 && virtualKey <= 63; }

} // namespace dimwell::x11
