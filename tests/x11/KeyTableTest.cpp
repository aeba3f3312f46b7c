// The table between stored virtual key codes and physical keys (evdev codes, XKB key names).

#include "platform/linux/keyboard/KeyTable.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>

namespace dimwell::x11 {
namespace {

// Every code a stored shortcut may hold, listed independently of the table.
const std::set<std::uint32_t> kDocumentedCodes = [] {
    std::set<std::uint32_t> codes;
    for (std::uint32_t c = 0; c <= 51; ++c) codes.insert(c);   // letters, digits, punctuation, ISO key, Return, Tab, Space, Delete
    codes.insert(53);                                           // Escape
    for (std::uint32_t c : {122u, 120u, 99u, 118u, 96u, 97u, 98u, 100u, 101u, 109u, 103u, 111u, 105u, 107u, 113u, 106u})
        codes.insert(c);   // F1..F16
    for (std::uint32_t c : {115u, 116u, 117u, 119u, 121u, 123u, 124u, 125u, 126u, 114u}) codes.insert(c);
    for (std::uint32_t c : {82u, 83u, 84u, 85u, 86u, 87u, 88u, 89u, 91u, 92u, 65u, 67u, 69u, 75u, 76u, 78u, 81u})
        codes.insert(c);   // keypad
    for (std::uint32_t c = 54; c <= 62; ++c) codes.insert(c);   // modifier keys with a key of their own
    return codes;
}();

TEST(KeyTable, CoversEveryDocumentedCodeOnceAndEachKeyOnce) {
    std::set<std::uint32_t> codes;
    std::set<std::uint32_t> keys;
    std::set<std::string_view> xkbNames;
    for (const KeyTableEntry& e : keyTable()) {
        EXPECT_TRUE(codes.insert(e.virtualKey).second) << "code " << e.virtualKey << " listed twice";
        EXPECT_TRUE(keys.insert(e.evdev).second) << e.name << ": key listed twice";
        EXPECT_TRUE(xkbNames.insert(e.xkbName).second) << e.name << ": XKB name listed twice";
        EXPECT_EQ(virtualKeyForXkbName(e.xkbName), e.virtualKey) << e.name;
        EXPECT_EQ(virtualKeyForXKeycode(*xKeycodeForVirtualKey(e.virtualKey)), e.virtualKey) << e.name;
    }
    EXPECT_EQ(codes, kDocumentedCodes);
}

// The physical key of each stored code (X keycode = evdev + 8): a wrong one grabs
// the wrong key silently. The rows where the order differs from the obvious one.
TEST(KeyTable, CodesNameTheirPhysicalKeys) {
    const std::pair<std::uint32_t, std::uint32_t> rows[] = {
        {0, 38}, {6, 52}, {12, 24}, {22, 15}, {23, 14}, {24, 21}, {42, 51}, {50, 49}, {10, 94}, {49, 65},
        {53, 9}, {117, 119}, {114, 118}, {122, 67}, {111, 96}, {106, 194}, {82, 90}, {83, 87}, {65, 91}, {81, 125},
        {55, 133}, {58, 64}, {61, 108}};
    for (const auto& [code, keycode] : rows) {
        EXPECT_EQ(xKeycodeForVirtualKey(code), keycode) << "code " << code;
    }
}

TEST(KeyTable, UnknownCodesAndKeysTranslateToNothing) {
    for (std::uint32_t code : {52u, 63u, 64u, 90u, 93u, 127u, 200u, 0xffffffffu}) {
        EXPECT_EQ(xKeycodeForVirtualKey(code), std::nullopt) << code;
        EXPECT_TRUE(keyName(code).empty()) << code;
    }
    // Nothing, Num Lock, Print, Menu.
    for (std::uint32_t keycode : {0u, 77u, 107u, 135u}) {
        EXPECT_EQ(virtualKeyForXKeycode(keycode), std::nullopt) << keycode;
    }
}

} // namespace
} // namespace dimwell::x11
