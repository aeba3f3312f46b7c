// The table between stored virtual key codes and X keysyms, read both ways.

#include "platform/x11/KeyTable.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>

namespace dimwell::x11 {
namespace {

// Every code a stored shortcut may hold, listed independently of the table.
const std::set<std::uint32_t> kDocumentedCodes = [] {
    std::set<std::uint32_t> codes;
    for (std::uint32_t c = 0; c <= 51; ++c) codes.insert(c);   // letters, digits, punctuation, §, Return, Tab, Space, Delete
    codes.insert(53);                                           // Escape
    for (std::uint32_t c : {122u, 120u, 99u, 118u, 96u, 97u, 98u, 100u, 101u, 109u, 103u, 111u, 105u, 107u, 113u, 106u})
        codes.insert(c);   // F1..F16
    for (std::uint32_t c : {115u, 116u, 117u, 119u, 121u, 123u, 124u, 125u, 126u, 114u}) codes.insert(c);
    for (std::uint32_t c : {82u, 83u, 84u, 85u, 86u, 87u, 88u, 89u, 91u, 92u, 65u, 67u, 69u, 75u, 76u, 78u, 81u})
        codes.insert(c);   // keypad
    for (std::uint32_t c = 54; c <= 62; ++c) codes.insert(c);   // modifier keys with a keysym
    return codes;
}();

TEST(KeyTable, CoversEveryDocumentedCodeAndNothingElse) {
    std::set<std::uint32_t> inTable;
    for (const KeyTableEntry& e : keyTable()) {
        EXPECT_TRUE(inTable.insert(e.virtualKey).second) << "code " << e.virtualKey << " listed twice";
    }
    EXPECT_EQ(inTable, kDocumentedCodes);
}

TEST(KeyTable, EveryEntryRoundTripsBothWays) {
    std::set<std::uint32_t> keysyms;
    for (const KeyTableEntry& e : keyTable()) {
        SCOPED_TRACE(e.name);
        EXPECT_TRUE(keysyms.insert(e.keysym).second) << "keysym listed twice";
        EXPECT_EQ(keysymForVirtualKey(e.virtualKey), e.keysym);
        EXPECT_EQ(virtualKeyForKeysym(e.keysym), e.virtualKey);
        EXPECT_FALSE(e.name.empty());
        EXPECT_EQ(keyName(e.virtualKey), e.name);
    }
}

struct KeyRow {
    std::uint32_t virtualKey;
    std::uint32_t keysym;
};

class KeyTableValues : public ::testing::TestWithParam<KeyRow> {};

// The keysym each stored code grabs: a wrong one grabs the wrong key silently.
TEST_P(KeyTableValues, GrabsTheKeysymOfThePhysicalKey) {
    EXPECT_EQ(keysymForVirtualKey(GetParam().virtualKey), GetParam().keysym);
}

// The rows where the physical order differs from the obvious one.
INSTANTIATE_TEST_SUITE_P(Keys, KeyTableValues,
                         ::testing::Values(KeyRow{0, 'a'}, KeyRow{6, 'z'}, KeyRow{22, '6'}, KeyRow{23, '5'},
                                           KeyRow{24, '='}, KeyRow{42, '\\'}, KeyRow{50, '`'}, KeyRow{10, 0x00a7},
                                           KeyRow{117, 0xffff}, KeyRow{114, 0xff63}, KeyRow{122, 0xffbe},
                                           KeyRow{111, 0xffc9}, KeyRow{106, 0xffcd}, KeyRow{82, 0xffb0},
                                           KeyRow{65, 0xffae}, KeyRow{55, 0xffeb}, KeyRow{58, 0xffe9}));

class KeyTableRecorded : public ::testing::TestWithParam<KeyRow> {};

// A recorded press carries Shift or NumLock already applied; it still names its key.
TEST_P(KeyTableRecorded, ShiftedAndKeypadVariantsNameTheirKey) {
    EXPECT_EQ(virtualKeyForKeysym(GetParam().keysym), GetParam().virtualKey);
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyTableRecorded,
                         ::testing::Values(KeyRow{6, 'Z'}, KeyRow{18, '!'}, KeyRow{22, '^'}, KeyRow{27, '_'},
                                           KeyRow{50, '~'}, KeyRow{48, 0xfe20}, KeyRow{89, 0xff95},
                                           KeyRow{65, 0xff9f}, KeyRow{114, 0xff6a}, KeyRow{61, 0xfe03}));

TEST(KeyTable, UnknownCodesAndKeysymsTranslateToNothing) {
    for (std::uint32_t code : {52u, 63u, 64u, 90u, 93u, 127u, 200u, 0xffffffffu}) {
        EXPECT_EQ(keysymForVirtualKey(code), std::nullopt) << code;
        EXPECT_TRUE(keyName(code).empty()) << code;
    }
    // Nothing, F17, a media key, the euro sign, Num_Lock.
    for (std::uint32_t keysym : {0u, 0xffceu, 0x1008ff14u, 0x20acu, 0xff7fu}) {
        EXPECT_EQ(virtualKeyForKeysym(keysym), std::nullopt) << std::hex << keysym;
    }
}

} // namespace
} // namespace dimwell::x11
