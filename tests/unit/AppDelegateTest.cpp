// The application delegate: start-up order, the status menu and its shortcuts,
// menu tracking, the menu actions and quitting.

#include "app/AppDelegate.h"
#include "app/Preferences.h"
#include "app/RemoteActions.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimResources.h"
#include "platform/sim/SimShell.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace dimwell {
namespace {

using namespace simres;

struct Shell : ::testing::Test {
    SimDesktop desk;
    SimShell shell;
    AppDelegate app{desk.ports(), shell.ports()};

    void launch() {
        app.awakeFromNib();
        app.applicationDidFinishLaunching();
    }
    SimMenuItem item(MenuItemRole role) const { return shell.statusMenu.item(role); }
    void storeHotkeys(Value userHotkeys, Value rows) {
        desk.defaults.preset(prefkey::opacity, Value::real(0.6));
        desk.defaults.preset(prefkey::userHotkeys, std::move(userHotkeys));
        desk.defaults.preset(prefkey::hotkeySettings, std::move(rows));
    }
};

TEST_F(Shell, FirstRunLaunchesTheTutorialBeforeTheControllerAndAnyHotkey) {
    bool controllerExisted = true;
    std::size_t hotkeyAttempts = 99;
    shell.applications.onLaunch([&] {
        controllerExisted = app.appcontroller() != nullptr;
        hotkeyAttempts = desk.hotkeys.attempts().size();
    });

    app.awakeFromNib();
    EXPECT_TRUE(app.firstRun());
    EXPECT_EQ(shell.applications.launches(), 1);
    EXPECT_FALSE(controllerExisted);
    EXPECT_EQ(hotkeyAttempts, 0u);

    app.applicationDidFinishLaunching();
    ASSERT_NE(app.appcontroller(), nullptr);
    EXPECT_EQ(app.appcontroller()->delegate(), &app);
    EXPECT_EQ(desk.hotkeys.registered().size(), 8u);
    EXPECT_EQ(shell.applications.launches(), 1);
}


TEST_F(Shell, TheFourMenuModesTakeTheirShortcutsFromTheStoredRecords) {
    storeHotkeys(Value::dictionary({
                     {"closeOverlay", record(Control | Shift, kVK_A, "A")},
                     {"selectMode", record(Command, kVK_Z, "Z")},
                     {"increaseOpacity", record(Option | Command, kVK_Up, "\u2191")},
                     {"decreaseOpacity", record(Control | Option | Shift | Command, -1, "\u2193")},   // damaged
                 }),
                 Value::array({row("closeOverlay", false), row("selectMode", true), row("increaseOpacity", true),
                               row("decreaseOpacity", true)}));   // a disabled row still sets its shortcut
    app.awakeFromNib();

    EXPECT_EQ(item(MenuItemRole::CloseOverlay).keyEquivalent, "A");
    EXPECT_EQ(item(MenuItemRole::CloseOverlay).modifierMask, 0x60000u);
    EXPECT_EQ(item(MenuItemRole::StartSelection).modifierMask, 0x100000u);
    EXPECT_EQ(item(MenuItemRole::IncreaseOpacity).keyEquivalent, "\u2191");
    EXPECT_EQ(item(MenuItemRole::IncreaseOpacity).modifierMask, 0x180000u);
    EXPECT_EQ(item(MenuItemRole::DecreaseOpacity).keyEquivalent, "") << "a damaged key code gives no shortcut";
    EXPECT_EQ(item(MenuItemRole::DecreaseOpacity).modifierMask, 0u);
}

TEST_F(Shell, OtherModesAndRowsWithoutARecordNeverTouchTheMenu) {
    storeHotkeys(Value::dictionary({
                     {"patternMode", record(Control, kVK_C, "C")},
                     {"windowMode", record(Control, kVK_X, "X")},
                     {"viewMode", record(Control, kVK_V, "V")},
                     {"clickoutToggle", record(Control, kVK_K, "K")},
                 }),
                 hotkeyArray());
    app.awakeFromNib();
    EXPECT_EQ(shell.statusMenu.keyEquivalentSets(), 0);

    for (const char* m : {"patternMode", "windowMode", "viewMode", "clickoutToggle", "nonsense"}) {
        app.resetMenuKeyEquivalents(m, 12, "Q", 0x40000);
    }
    EXPECT_EQ(shell.statusMenu.keyEquivalentSets(), 0);
}

TEST_F(Shell, OpeningTheMenuStopsEveryHotkeyAndClosingItStartsThemWhateverStopSays) {
    launch();
    shell.statusMenu.choose(MenuItemRole::Stop);
    ASSERT_TRUE(desk.hotkeys.registered().empty());
    EXPECT_FALSE(item(MenuItemRole::Stop).enabled);
    EXPECT_TRUE(item(MenuItemRole::Start).enabled);

    shell.statusMenu.open();
    EXPECT_TRUE(desk.hotkeys.registered().empty());
    EXPECT_TRUE(desk.log.contains("menu active"));
    shell.statusMenu.close();
    EXPECT_EQ(desk.hotkeys.registered().size(), 8u);
    EXPECT_TRUE(desk.log.contains("menu resigned"));
    EXPECT_EQ(shell.settingsWindows.firstResponderResets(), 0);

    // An open settings window is taken out of recording.
    app.openSettings();
    shell.statusMenu.open();
    EXPECT_TRUE(desk.hotkeys.registered().empty());
    EXPECT_EQ(desk.hotkeys.staleUnregisters(), 0);
    EXPECT_EQ(shell.settingsWindows.firstResponderResets(), 1);
    shell.statusMenu.close();
    shell.settingsWindows.closeByUser();
    shell.statusMenu.open();
    EXPECT_EQ(shell.settingsWindows.firstResponderResets(), 1);
}

TEST_F(Shell, SettingsOpenOnceAndComeToTheFrontOnEveryRequest) {
    launch();
    app.openSettings();
    app.openSettings();
    EXPECT_EQ(shell.settingsWindows.opened(), 1);
    EXPECT_EQ(shell.settingsWindows.broughtToFront(), 2);
    EXPECT_EQ(shell.settingsWindows.delegate(), &app);

    shell.settingsWindows.closeByUser();
    EXPECT_FALSE(app.settingsControllerOpen());
    app.openSettings();
    EXPECT_EQ(shell.settingsWindows.opened(), 2);
}


TEST_F(Shell, QuittingTerminatesEveryTutorialIncludingOnesStartedByHand) {
    launch();                                         // first run: one tutorial
    const RunningApplication byHand = shell.applications.startTutorialByHand();
    app.openTutorial();
    ASSERT_EQ(shell.applications.runningTutorials().size(), 3u);

    shell.statusMenu.choose(MenuItemRole::Quit);
    EXPECT_EQ(shell.applications.terminateSelfRequests(), 1);
    app.applicationWillTerminate();
    EXPECT_TRUE(shell.applications.runningTutorials().empty());
    EXPECT_EQ(shell.applications.terminated().size(), 3u);
    EXPECT_NE(std::find(shell.applications.terminated().begin(), shell.applications.terminated().end(), byHand),
              shell.applications.terminated().end());
}

TEST_F(Shell, EveryActionIsHarmlessBeforeTheControllerExists) {
    app.awakeFromNib();
    for (MenuItemRole role : {MenuItemRole::StartSelection, MenuItemRole::CloseOverlay, MenuItemRole::IncreaseOpacity,
                              MenuItemRole::DecreaseOpacity, MenuItemRole::Start, MenuItemRole::Stop}) {
        shell.statusMenu.choose(role);
    }
    app.setCrossColor(Color::yellow());
    app.stopHotkeysDelegate();
    app.startHotkeysDelegate();
    app.setCurrentOnly(true);
    app.setBringToFrontMode(false);
    app.setClickOut(false);
    app.applicationWillTerminate();
    EXPECT_EQ(app.appcontroller(), nullptr);
    EXPECT_TRUE(desk.hotkeys.attempts().empty());
    EXPECT_FALSE(boolForKey(desk.defaults, prefkey::clickOut));
}

TEST_F(Shell, RemoteActionsRunAsTheirHotkeyOrMenuItemEvenWithEveryShortcutOff) {
    launch();
    app.stopController();
    desk.log.clear();
    const std::pair<const char*, const char*> hotkeyLines[] = {
        {"selectMode", "drag hot key"},        {"closeOverlay", "close hot key"},
        {"patternMode", "pattern hot key"},    {"windowMode", "window hot key"},
        {"viewMode", "view hot key"},          {"increaseOpacity", "increase opacity"},
        {"decreaseOpacity", "decrease opacity"}, {"clickoutToggle", "toggle click out"}};
    for (const auto& [name, line] : hotkeyLines) {
        EXPECT_TRUE(performRemoteAction(app, name)) << name;
        ASSERT_FALSE(desk.log.lines().empty()) << name;
        EXPECT_EQ(desk.log.lines().front(), line) << name;
        desk.log.clear();
    }
    const int launches = shell.applications.launches();
    EXPECT_TRUE(performRemoteAction(app, "settings"));
    EXPECT_EQ(shell.settingsWindows.opened(), 1);
    EXPECT_TRUE(performRemoteAction(app, "tutorial"));
    EXPECT_EQ(shell.applications.launches(), launches + 1);
    EXPECT_TRUE(performRemoteAction(app, "quit"));
    EXPECT_EQ(shell.applications.terminateSelfRequests(), 1);

    for (const char* notAnAction : {"", "SelectMode", "startController", "quit "}) {
        EXPECT_FALSE(performRemoteAction(app, notAnAction)) << notAnAction;
    }
    EXPECT_EQ(remoteActionNames().size(), 11u);
}


TEST_F(Shell, MakingTheProcessTrustedRunsTheToolWithTheBundlePathThenQuits) {
    app.makeProcessTrusted();   // without the tool: quits all the same
    EXPECT_TRUE(shell.applications.toolRuns().empty());
    EXPECT_EQ(shell.applications.terminateSelfRequests(), 1);
    shell.applications.installTool("EnableAccessibility", "/opt/Dimwell/EnableAccessibility");
    app.makeProcessTrusted();
    const std::vector<std::vector<std::string>> runs = {{"/opt/Dimwell/EnableAccessibility", "/opt/Dimwell"}};
    EXPECT_EQ(shell.applications.toolRuns(), runs);
    EXPECT_EQ(shell.applications.terminateSelfRequests(), 2);
}

TEST(ShellLifetime, TheMenuNoLongerCallsADelegateThatIsGone) {
    SimDesktop desk;
    SimShell shell;
    {
        AppDelegate app(desk.ports(), shell.ports());
        app.awakeFromNib();
        ASSERT_TRUE(shell.statusMenu.hasActionHandler());
    }
    EXPECT_FALSE(shell.statusMenu.hasActionHandler());
    EXPECT_FALSE(shell.statusMenu.open());
}

} // namespace
} // namespace dimwell
