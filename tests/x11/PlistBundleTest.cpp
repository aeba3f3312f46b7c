// The shipped resources as the program reads them from disk: the presets, the
// rows, and seeding a first run from them.

#include "TempFolder.h"
#include "WindowTestSupport.h"
#include "app/Preferences.h"
#include "platform/sim/SimResources.h"
#include "platform/linux/prefs/PlistBundle.h"
#include "platform/linux/prefs/PlistDefaults.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace dimwell::x11 {
namespace {

using Lines = testing::RecordingLog;

class PlistBundleTest : public ::testing::Test {
protected:
    Lines log;
    PlistBundle bundle{"/opt/dimwell/bin", DIMWELL_SOURCE_RESOURCES, log};
};

TEST_F(PlistBundleTest, ShippedListsAreTheOnesTheSimulatedDesktopDescribes) {
    // The core's tests run on the simulated copies (the shipped shortcuts, the
    // rows all switched on); the real files must not drift.
    EXPECT_EQ(bundle.propertyList("hotkeys"), simres::hotkeysPlist());
    EXPECT_EQ(bundle.propertyList("hotkeySettings"), simres::hotkeySettingsPlist());
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(PlistBundleTest, BothPresetsGiveEveryModeADistinctShortcutWithAModifier) {
    const auto hotkeys = bundle.propertyList("hotkeys");
    ASSERT_TRUE(hotkeys);
    for (const char* preset : {"default1", "default2"}) {
        std::set<std::pair<std::uint32_t, std::uint32_t>> seen;
        for (const std::string& mode : modeNames()) {
            const Value* record = lookup(*lookup(*hotkeys, preset), mode);
            ASSERT_TRUE(record) << preset << " " << mode;
            const HotkeyRecord r = HotkeyRecord::fromValue(record);
            EXPECT_TRUE(r.hasModifier()) << preset << " " << mode;
            EXPECT_TRUE(r.character && !r.character->empty()) << preset << " " << mode;
            EXPECT_TRUE(seen.insert({r.keycode, r.hotkeyModifiers()}).second) << preset << " reuses " << r.displayString();
        }
    }
}

// Dates and data have no place in the preferences: they are skipped with a log
// line naming them, the rest is kept. A date where the opacity belongs was set
// by someone: not a first run. Only the opacity is seeded again; the switches
// stay and the tutorial does not open.
TEST_F(PlistBundleTest, DatesAndDataAreSkippedAndADateForTheOpacityReseedsItAlone) {
    const dimwell::test::TempFolder dir;
    const std::string path = dir.write("prefs.plist", R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>opacity</key><date>2020-01-01T00:00:00Z</date>
  <key>blob</key><data>AAEC</data>
  <key>clickout</key><false/>
</dict></plist>)");
    PlistDefaults defaults(path, log);
    const Logger logger(log);
    EXPECT_FALSE(loadDefaults(defaults, bundle, &logger));
    EXPECT_EQ(floatForKey(defaults, prefkey::opacity), 0.8f);
    EXPECT_FALSE(boolForKey(PlistDefaults(path, log), prefkey::clickOut));
    EXPECT_TRUE(log.contains("\"opacity\" is damaged"));
    EXPECT_FALSE(defaults.object("blob").has_value());
    EXPECT_TRUE(log.contains("blob"));
}

// A list that is not there yields nothing and says so; paths stay inside the folder.
TEST_F(PlistBundleTest, ResourcePathsStayInsideTheResourceFolder) {
    EXPECT_FALSE(bundle.propertyList("nosuchlist"));
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("nosuchlist.plist"), std::string::npos);
    EXPECT_EQ(bundle.resourcePath("hotkeys", "plist"), std::string(DIMWELL_SOURCE_RESOURCES) + "/hotkeys.plist");
    EXPECT_EQ(bundle.resourcePath("hotkeys", "png"), "");
    EXPECT_EQ(bundle.resourcePath("../resources/hotkeys", "plist"), "");
    EXPECT_EQ(bundle.bundlePath(), "/opt/dimwell/bin/Dimwell");
    EXPECT_EQ(bundle.processName(), "Dimwell");
}

TEST(PlistBundleLocation, EnvironmentChoosesTheResourceFolder) {
    Lines log;
    setenv("DIMWELL_RESOURCES", "/elsewhere/resources", 1);
    const PlistBundle chosen(log);
    unsetenv("DIMWELL_RESOURCES");
    EXPECT_EQ(chosen.resourceFolder(), "/elsewhere/resources");
    // Without it a build tree reads the source tree's resources.
    const PlistBundle found(log);
    EXPECT_TRUE(found.propertyList("hotkeys").has_value()) << found.resourceFolder();
}

} // namespace
} // namespace dimwell::x11
