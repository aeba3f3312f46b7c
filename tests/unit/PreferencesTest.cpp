// Seeding the preferences, reading hotkey records and the active-shortcut rule.

#include "app/Preferences.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimResources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace dimwell {
namespace {

using namespace simres;

struct Seeding : ::testing::Test {
    SimDefaults prefs;
    SimBundle bundle;
    SimLog sink;
    Logger log{sink};
    Seeding() { bundle.installStandardResources(); }
    bool seed() { return loadDefaults(prefs, bundle, &log); }
    bool wrote(const std::string& key) const {
        return std::find(prefs.writes().begin(), prefs.writes().end(), key) != prefs.writes().end();
    }
    bool logMentions(const std::string& word) const {
        return std::any_of(sink.lines().begin(), sink.lines().end(), [&](auto& l) { return l.find(word) != l.npos; });
    }
};

TEST_F(Seeding, EmptyStoreIsAFirstRunWithEveryValueSeeded) {
    EXPECT_TRUE(seed());
    EXPECT_EQ(floatForKey(prefs, prefkey::opacity), 0.8f);
    EXPECT_TRUE(boolForKey(prefs, prefkey::bringToFront));
    EXPECT_TRUE(boolForKey(prefs, prefkey::clickOut));
    ASSERT_TRUE(prefs.has(prefkey::currentOnly));
    EXPECT_FALSE(boolForKey(prefs, prefkey::currentOnly));
    EXPECT_EQ(*prefs.object(prefkey::userHotkeys), default1Preset());
    EXPECT_EQ(*prefs.object(prefkey::hotkeySettings), hotkeyArray());
    EXPECT_EQ(prefs.synchronizeCount(), 1);
}

enum class Outcome { Kept, Reseeded, FirstRun };

struct StoredOpacity {
    const char* name;
    Value stored;
    Outcome outcome;
};

struct OpacityRows : Seeding, ::testing::WithParamInterface<StoredOpacity> {};

// Only a key never set (or the 0.0 it reads as) is a first run. A value that is
// there but cannot be drawn is damage to the opacity alone: 0.8 again, one log
// line, the switches kept and no tutorial.
TEST_P(OpacityRows, OnlyAnExactZeroIsAFirstRunAndDamageReseedsTheOpacityAlone) {
    prefs.preset(prefkey::opacity, GetParam().stored);
    prefs.preset(prefkey::bringToFront, Value::boolean(false));
    const Outcome outcome = GetParam().outcome;
    EXPECT_EQ(seed(), outcome == Outcome::FirstRun);
    EXPECT_EQ(boolForKey(prefs, prefkey::bringToFront), outcome == Outcome::FirstRun);
    EXPECT_EQ(wrote(prefkey::opacity), outcome != Outcome::Kept);
    EXPECT_EQ(logMentions("\"opacity\""), outcome == Outcome::Reseeded);
    if (outcome == Outcome::Kept) {
        EXPECT_EQ(*prefs.object(prefkey::opacity), GetParam().stored);
    } else {
        EXPECT_EQ(floatForKey(prefs, prefkey::opacity), 0.8f);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, OpacityRows,
    ::testing::Values(StoredOpacity{"tiny", Value::real(1e-7), Outcome::Kept},
                      StoredOpacity{"normal", Value::real(0.5), Outcome::Kept},
                      StoredOpacity{"integerOne", Value::integer(1), Outcome::Kept},
                      StoredOpacity{"zero", Value::real(0.0), Outcome::FirstRun},
                      StoredOpacity{"integerZero", Value::integer(0), Outcome::FirstRun},
                      StoredOpacity{"nan", Value::real(std::numeric_limits<double>::quiet_NaN()), Outcome::Reseeded},
                      StoredOpacity{"beyondFloat", Value::real(1e300), Outcome::Reseeded},
                      StoredOpacity{"negative", Value::real(-1.0), Outcome::Reseeded},
                      StoredOpacity{"string", Value::string("dark"), Outcome::Reseeded}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(Seeding, LostHotkeysAreReseededAloneWithoutAFirstRun) {
    setFloat(prefs, prefkey::opacity, 0.6f);
    const Value rows = Value::array({row("selectMode", false)});
    prefs.preset(prefkey::hotkeySettings, rows);
    prefs.clearWrites();
    EXPECT_FALSE(seed());
    EXPECT_EQ(*prefs.object(prefkey::userHotkeys), default1Preset());
    EXPECT_EQ(*prefs.object(prefkey::hotkeySettings), rows);
    EXPECT_EQ(prefs.writes(), std::vector<std::string>{prefkey::userHotkeys});
    EXPECT_EQ(floatForKey(prefs, prefkey::opacity), 0.6f);
}

TEST_F(Seeding, FirstRunKeepsHotkeysAlreadyPresent) {
    const Value mine = Value::dictionary({{"selectMode", record(Command, 1, "S")}});
    prefs.preset(prefkey::userHotkeys, mine);
    EXPECT_TRUE(seed());
    EXPECT_EQ(*prefs.object(prefkey::userHotkeys), mine);
}

// A string where a dictionary belongs (or a dictionary where the rows belong) is
// unreadable: it is seeded again, and the log says which key was damaged.
TEST_F(Seeding, ForeignTypedHotkeyValuesAreSeededAgainAndLogged) {
    setFloat(prefs, prefkey::opacity, 0.6f);
    prefs.preset(prefkey::userHotkeys, Value::string("garbage"));
    prefs.preset(prefkey::hotkeySettings, Value::dictionary({}));
    EXPECT_FALSE(seed());
    EXPECT_EQ(*prefs.object(prefkey::userHotkeys), default1Preset());
    EXPECT_EQ(*prefs.object(prefkey::hotkeySettings), hotkeyArray());
    EXPECT_TRUE(logMentions(prefkey::userHotkeys));
    EXPECT_TRUE(logMentions(prefkey::hotkeySettings));
}

TEST_F(Seeding, MissingOrIncompleteResourcesLeaveTheKeysAbsent) {
    bundle.removePropertyList("hotkeys");
    bundle.setPropertyList("hotkeySettings", Value::dictionary({{"other", hotkeyArray()}}));
    EXPECT_TRUE(seed());
    EXPECT_FALSE(prefs.has(prefkey::userHotkeys));
    EXPECT_FALSE(prefs.has(prefkey::hotkeySettings));
    for (const std::string& m : modeNames()) {
        EXPECT_FALSE(isShortcutActive(prefs, m)) << m;
    }
    // Tried again at the next start, once the resources are back.
    bundle.installStandardResources();
    EXPECT_FALSE(seed());
    EXPECT_TRUE(prefs.has(prefkey::userHotkeys));
}

// ---- records -----------------------------------------------------------------

TEST(HotkeyRecordReading, FlagsReadByBooleanOrIntegerValueAndForeignValuesAsNothing) {
    const Value v = Value::dictionary({{"control", Value::integer(1)},
                                       {"shift", Value::integer(0)},
                                       {"option", Value::boolean(true)},
                                       {"command", Value::string("YES")},
                                       {"keycode", Value::integer(6)}});
    const HotkeyRecord r = HotkeyRecord::fromValue(&v);
    EXPECT_TRUE(r.control);
    EXPECT_FALSE(r.shift);
    EXPECT_TRUE(r.option);
    EXPECT_FALSE(r.command) << "a string is no boolean";
    EXPECT_EQ(r.keycode, 6u);
    EXPECT_FALSE(r.character.has_value());
    const Value noKey = Value::dictionary({{"control", Value::boolean(true)}});
    EXPECT_EQ(HotkeyRecord::fromValue(&noKey).keycode, 0u);
    const Value str = Value::string("control");
    EXPECT_FALSE(HotkeyRecord::fromValue(&str).hasModifier());
    EXPECT_FALSE(HotkeyRecord::fromValue(nullptr).hasModifier());
}

// A damaged key code must not read as 0, the A key: the record names no key at
// all, is never active, and seeding names it once in the log.
TEST_F(Seeding, DamagedKeyCodesNameNoKeyAndAreLoggedOnce) {
    const std::pair<const char*, Value> damaged[] = {
        {"selectMode", Value::integer(-1)},  {"closeOverlay", Value::integer(128)},
        {"patternMode", Value::string("6")}, {"windowMode", Value::real(std::numeric_limits<double>::quiet_NaN())},
        {"viewMode", Value::real(1e12)},     {"increaseOpacity", Value::array({})},
    };
    Dictionary records;
    for (const auto& [m, code] : damaged) {
        records[m] = Value::dictionary({{"control", Value::boolean(true)}, {"keycode", code}});
    }
    records["decreaseOpacity"] = record(Control, 127, "x");
    records["clickoutToggle"] = record(Control, 0, "A");
    prefs.preset(prefkey::userHotkeys, Value::dictionary(records));
    Array rows;
    for (const std::string& m : modeNames()) rows.push_back(row(m, true));
    prefs.preset(prefkey::hotkeySettings, Value::array(rows));
    seed();
    for (const auto& [m, code] : damaged) {
        EXPECT_FALSE(userHotkey(prefs, m)->hasKey) << m;
        EXPECT_FALSE(isShortcutActive(prefs, m)) << m;
        EXPECT_EQ(std::count_if(sink.lines().begin(), sink.lines().end(),
                                [&](auto& l) { return l.find(std::string("\"") + m + "\"") != l.npos; }),
                  1)
            << m;
    }
    EXPECT_TRUE(isShortcutActive(prefs, "decreaseOpacity"));
    EXPECT_TRUE(isShortcutActive(prefs, "clickoutToggle")) << "0 is a real key code";
    EXPECT_EQ(modesWithoutUsableShortcut(prefs).size(), 6u);
}

TEST(HotkeyRecordWriting, WritesAllSixKeysAndLeavesOthersAlone) {
    const Value base = Value::dictionary({{"extra", Value::integer(7)}, {"command", Value::boolean(true)}});
    HotkeyRecord r;
    r.control = true;
    r.keycode = 7;
    r.character = "X";
    const Value out = r.toValue(&base);
    EXPECT_EQ(*lookup(out, "extra"), Value::integer(7));
    EXPECT_EQ(*lookup(out, "command"), Value::boolean(false));
    EXPECT_EQ(HotkeyRecord::fromValue(&out), r);
}

// The modifiers' numbers are checked where they are used: registration, the
// menu, the settings window. Their glyphs come in one order whatever the flags.
TEST(HotkeyRecordGlyphs, ControlOptionShiftCommandThenTheKey) {
    const Value all = record(Command | Shift | Option | Control, 6, "Z");
    EXPECT_EQ(HotkeyRecord::fromValue(&all).displayString(), "\u2303\u2325\u21E7\u2318Z");
    const Value some = record(Command | Option, 6, "Z");
    EXPECT_EQ(HotkeyRecord::fromValue(&some).displayString(), "\u2325\u2318Z");
}

// ---- the active-shortcut rule ------------------------------------------------

struct ActiveCase {
    const char* name;
    std::optional<Value> rows;
    std::optional<Value> records;
    bool active;
};

struct ActiveShortcut : ::testing::TestWithParam<ActiveCase> {};

TEST_P(ActiveShortcut, NeedsAnEnabledEntryAndAModifier) {
    SimDefaults prefs;
    if (GetParam().rows) prefs.preset(prefkey::hotkeySettings, *GetParam().rows);
    if (GetParam().records) prefs.preset(prefkey::userHotkeys, *GetParam().records);
    EXPECT_EQ(isShortcutActive(prefs, "selectMode"), GetParam().active);
}

Value selectRecord(unsigned mods) { return Value::dictionary({{"selectMode", record(mods, 6, "Z")}}); }
Value rows(std::initializer_list<Value> r) { return Value::array(Array(r)); }
Value rowWith(const char* key, Value v) {
    return Value::dictionary({{"mode", Value::string("selectMode")}, {key, std::move(v)}});
}

INSTANTIATE_TEST_SUITE_P(
    Rule, ActiveShortcut,
    ::testing::Values(
        ActiveCase{"controlOnlyEnabled", rows({row("selectMode", true)}), selectRecord(Control), true},
        ActiveCase{"noModifier", rows({row("selectMode", true)}), selectRecord(None), false},
        ActiveCase{"disabled", rows({row("selectMode", false)}), selectRecord(Control | Shift), false},
        ActiveCase{"laterDisabledEntryDoesNotSwitchOff",
                   rows({row("selectMode", true), row("selectMode", false)}), selectRecord(Control), true},
        ActiveCase{"laterEnabledEntryCounts", rows({row("selectMode", false), row("selectMode", true)}),
                   selectRecord(Control), true},
        ActiveCase{"enabledAsBoolean", rows({rowWith("enabled", Value::boolean(true))}), selectRecord(Shift), true},
        ActiveCase{"enabledMissing", rows({rowWith("name", Value::string("x"))}), selectRecord(Shift), false},
        ActiveCase{"entryWithoutRecord", rows({row("selectMode", true)}),
                   Value::dictionary({{"viewMode", record(Control, 9, "V")}}), false},
        ActiveCase{"recordWithoutEntry", rows({row("viewMode", true)}), selectRecord(Control), false},
        ActiveCase{"foreignRowSkipped", rows({Value::string("junk"), row("selectMode", true)}),
                   selectRecord(Command), true},
        ActiveCase{"noSettings", std::nullopt, selectRecord(Control), false},
        ActiveCase{"noRecords", rows({row("selectMode", true)}), std::nullopt, false}),
    [](const auto& p) { return std::string(p.param.name); });

} // namespace
} // namespace dimwell
