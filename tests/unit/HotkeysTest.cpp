// Global hotkeys: which shortcuts are registered and how, refusals, releasing,
// and the dispatch of a press by its id.

#include "Harness.h"

namespace dimwell::test {
namespace {

using namespace simres;

constexpr std::uint32_t htk(char digit) {
    return (std::uint32_t{'h'} << 24) | (std::uint32_t{'t'} << 16) | (std::uint32_t{'k'} << 8) | std::uint32_t(digit);
}
static_assert(htk('1') == 0x68746B31u);

struct Hotkeys : OneDisplay {
    void setRecord(const std::string& mode, Value rec) {
        Dictionary d = *dictionaryForKey(desk.defaults, prefkey::userHotkeys);
        d[mode] = std::move(rec);
        desk.defaults.setObject(prefkey::userHotkeys, Value::dictionary(d));
    }
    void setEnabled(const std::string& mode, bool on) {
        Array rows = *arrayForKey(desk.defaults, prefkey::hotkeySettings);
        for (Value& r : rows) {
            if (*lookup(r, "mode")->asString() == mode) r = row(mode, on);
        }
        desk.defaults.setObject(prefkey::hotkeySettings, Value::array(rows));
    }
    std::vector<std::uint32_t> liveIds() const {
        std::vector<std::uint32_t> ids;
        for (const auto& r : desk.hotkeys.registered()) ids.push_back(r.id.id);
        return ids;
    }
};

TEST_F(Hotkeys, ShippedPresetRegistersAllEightInIdOrder) {
    c().startHotkeys();
    const auto& attempts = desk.hotkeys.attempts();
    ASSERT_EQ(attempts.size(), 8u);
    const std::int64_t codes[] = {kVK_Z, kVK_A, kVK_C, kVK_X, kVK_V, kVK_Up, kVK_Down, kVK_K};
    for (std::uint32_t n = 1; n <= 8; ++n) {
        const SimRegistration& r = attempts[n - 1];
        EXPECT_EQ(r.id, (HotKeyId{htk(static_cast<char>('0' + n)), n}));
        EXPECT_EQ(r.modifiers, 4608u) << "control + shift";
        EXPECT_EQ(r.keyCode, static_cast<std::uint32_t>(codes[n - 1]));
        EXPECT_TRUE(c().hotKeyRef(static_cast<int>(n)).has_value());
    }
}

// A switched-off entry, or a combination the platform refuses, leaves that id alone unregistered.
TEST_F(Hotkeys, DisabledEntryOrRefusedCombinationLeavesOnlyThatIdUnregistered) {
    setEnabled("selectMode", false);
    desk.hotkeys.refuse(kVK_X, 4608);
    c().startHotkeys();
    EXPECT_EQ(liveIds(), (std::vector<std::uint32_t>{2, 3, 5, 6, 7, 8}));
    EXPECT_FALSE(c().hotKeyRef(1).has_value());
    EXPECT_FALSE(c().hotKeyRef(4).has_value());
    EXPECT_FALSE(desk.hotkeys.press(1));
    EXPECT_FALSE(desk.hotkeys.press(4));
    EXPECT_TRUE(desk.hotkeys.press(2));
}

// Records that cannot make a shortcut are never registered, and one line at
// registration names every switched-on action left without one.
TEST_F(Hotkeys, UnusableRecordsAreNeverRegisteredAndNamedOnce) {
    setRecord("closeOverlay", record(None, kVK_A, "A"));
    setRecord("windowMode", record(Control, -1, "X"));
    setRecord("viewMode", record(Control, 300, "V"));
    setRecord("patternMode", record(Control, 8, "C"));
    setEnabled("patternMode", false);   // switched off by the user: not worth a word
    c().startHotkeys();
    EXPECT_EQ(liveIds(), (std::vector<std::uint32_t>{1, 6, 7, 8}));
    EXPECT_EQ(desk.hotkeys.attempts().size(), 4u);
    const auto said = desk.log.startingWith("no usable shortcut");
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("closeOverlay, windowMode, viewMode"), std::string::npos) << said[0];
    desk.hotkeys.press(1);
    EXPECT_EQ(desk.log.startingWith("no usable shortcut").size(), 1u) << "not repeated per press";
}

// A second start without a stop used to leave the first registrations grabbed
// and unreachable; what a slot holds is released before it is filled again.
TEST_F(Hotkeys, DuplicateStartDoesNotLeakRegistrations) {
    c().startHotkeys();
    c().startHotkeys();
    EXPECT_EQ(desk.hotkeys.registered().size(), 8u);
    for (std::uint32_t n = 1; n <= 8; ++n) EXPECT_TRUE(desk.hotkeys.registrationFor(n).has_value()) << n;
    // A start whose new registration is refused holds no stale handle either.
    desk.hotkeys.refuse(kVK_Z, 4608);
    c().startHotkeys();
    EXPECT_FALSE(c().hotKeyRef(1).has_value());
    c().stopHotkeys();
    EXPECT_TRUE(desk.hotkeys.registered().empty());
    EXPECT_EQ(desk.hotkeys.staleUnregisters(), 0);
}

// Each id's action, through this same dispatch, is checked with the remote actions.
TEST(HotkeyDispatch, UnknownIdsDoNothing) {
    Running h;
    const auto lines = h.desk.log.lines().size();
    for (const std::uint32_t id : {0u, 9u, 0xFFFFFFFFu}) h.desk.hotkeys.deliver({htk('1'), id});
    EXPECT_EQ(h.desk.log.lines().size(), lines);
}

// The untrusted alert tells the two variants apart: only the under-the-pointer
// variants check trust.
TEST(HotkeyDispatch, BringToFrontIsReadAtEachPressWithoutReregistering) {
    Running h;
    h.c().startHotkeys();
    h.desk.trust.setTrusted(false);
    const auto attempts = h.desk.hotkeys.attempts().size();
    for (const std::uint32_t id : {3u, 4u, 5u}) {
        h.c().setBringToFrontMode(false);
        const auto before = h.desk.alerts.shown().size();
        h.desk.hotkeys.press(id);
        EXPECT_EQ(h.desk.alerts.shown().size(), before) << id << " main-window variant";
        h.c().setBringToFrontMode(true);
        h.desk.hotkeys.press(id);
        EXPECT_EQ(h.desk.alerts.shown().size(), before + 1) << id << " under-the-pointer variant";
    }
    EXPECT_EQ(h.desk.hotkeys.attempts().size(), attempts);
}

} // namespace
} // namespace dimwell::test
