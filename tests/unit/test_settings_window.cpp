// The settings window against the real application delegate and overlay
// controller on the simulated desktop: opening, recording, the row switches,
// presets, the slider, the switches and closing.

#include "app/AppDelegate.h"
#include "app/Preferences.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimResources.h"
#include "platform/sim/SimSettingsViews.h"
#include "platform/sim/SimShell.h"
#include "settings/SettingsWindowController.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <optional>

namespace dimwell {
namespace {

using namespace simres;

constexpr std::uint64_t kCtl = kControlKeyMask, kOpt = kOptionKeyMask, kSh = kShiftKeyMask;
constexpr int kSelect = 0, kClose = 1, kPattern = 2, kWindow = 3;   // rows as shipped

struct Settings : ::testing::Test {
    explicit Settings(const std::string& displays = "1440x900+0+0") : desk(displays) {}

    SimDesktop desk;
    SimShell shell;
    std::unique_ptr<AppDelegate> app;
    SimSettingsWindowView window{desk.log};
    std::unique_ptr<SettingsWindowController> controller;

    /// Launches the program, then opens the window.
    void open() {
        launch();
        openWindow();
    }
    void launch() {
        app = std::make_unique<AppDelegate>(desk.ports(), shell.ports());
        app->awakeFromNib();
        app->applicationDidFinishLaunching();
    }
    void openWindow() {
        controller = std::make_unique<SettingsWindowController>(
            window, SettingsContext{desk.defaults, desk.bundle, desk.displays, shell.loginItems, desk.notifications, desk.log});
        controller->setMydelegate(app.get());
    }
    void type(int row, std::uint64_t flags, std::uint16_t code, const std::string& chars) {
        window.click(row);
        window.text(row).flagsChanged({59, flags, ""});
        window.text(row).keyDown({code, flags, chars});
    }
    HotkeyRecord stored(const std::string& m) { return userHotkey(desk.defaults, m).value_or(HotkeyRecord{}); }
    std::optional<SimRegistration> registration(std::uint32_t id) { return desk.hotkeys.registrationFor(id); }
    const std::string& shown(int row) { return window.view(row).text; }
};

TEST_F(Settings, OpeningFillsEveryRowAndTheSwitchesFromThePreferences) {
    desk.defaults.preset(prefkey::opacity, Value::real(0.6));
    launch();
    setBool(desk.defaults, prefkey::clickOut, true);
    setBool(desk.defaults, prefkey::bringToFront, false);
    shell.loginItems.addItem("/opt/Dimwell/bin/Dimwell");
    openWindow();

    EXPECT_EQ(window.labels[kSelect].text, "Select a region");
    EXPECT_EQ(shown(kSelect), "\u2303\u21E7Z");
    EXPECT_EQ(shown(5), "\u2303\u21E7\u2191");
    for (int i = 0; i < SettingsWindow::kRows; ++i) {
        EXPECT_EQ(window.checks[static_cast<std::size_t>(i)].value, 1);
        EXPECT_EQ(window.scrolls[static_cast<std::size_t>(i)].border, BorderType::Line);
        EXPECT_EQ(window.text(i).mydelegate(), controller.get());
    }
    EXPECT_EQ(window.text(kWindow).currentKeyCode(), static_cast<std::uint32_t>(kVK_X));
    EXPECT_FLOAT_EQ(window.slider.value, 0.6f);
    EXPECT_EQ(window.clickOut.value, 0);   // shown inverted
    EXPECT_EQ(window.bringToFront.value, 0);
    EXPECT_EQ(window.loginItem.value, 1);
    EXPECT_FALSE(window.currentOnly.enabled);   // one display
    EXPECT_EQ(window.legendField.text,
              "\u2303 Control      \u21E7 Shift      \u2325 Option      \u2318 Command");
}

TEST_F(Settings, RecordWithoutModifierShowsNoneAndSwitchedOffRowIsGrey) {
    desk.defaults.preset(prefkey::opacity, Value::real(0.5));
    desk.defaults.preset(prefkey::userHotkeys,
                         Value::dictionary({{"selectMode", record(None, kVK_Z, "Z")},
                                            {"closeOverlay", record(Control, kVK_A, "A")}}));
    desk.defaults.preset(prefkey::hotkeySettings, Value::array({row("selectMode", true), row("closeOverlay", false)}));
    open();

    EXPECT_EQ(shown(0), "none");
    EXPECT_EQ(shown(1), "\u2303A");
    EXPECT_EQ(window.labels[1].color, TextColor::DisabledControlText);
    EXPECT_EQ(window.view(1).background, BackgroundColor::LightGrey);
    EXPECT_FALSE(window.view(1).selectable);
    // Rows the preferences do not have stay empty and belong to nobody.
    EXPECT_EQ(shown(2), "");
    EXPECT_EQ(window.text(2).mydelegate(), nullptr);
}

TEST_F(Settings, MissingPreferencesOpenAnEmptyWindowThatStillWorks) {
    desk.bundle.removePropertyList("hotkeys");
    desk.bundle.removePropertyList("hotkeySettings");
    open();
    EXPECT_EQ(shown(0), "");
    type(0, kCtl, kVK_A, "a");   // nobody to tell: recorded but nothing stored
    window.check(0).setState(0);
    controller->handleHotkeyCheck(0);
    controller->restoreDefaults(0);
    EXPECT_FALSE(desk.defaults.has(prefkey::hotkeySettings));
    EXPECT_TRUE(desk.hotkeys.registered().empty());
}

// Recording ends with the focus, and as the window gains or loses key status.
TEST_F(Settings, GlobalHotkeysAreOffOnlyWhileARecorderRecords) {
    open();
    ASSERT_EQ(desk.hotkeys.registered().size(), 8u);
    window.click(kPattern);
    EXPECT_TRUE(controller->activeTextView());
    EXPECT_TRUE(desk.hotkeys.registered().empty());
    EXPECT_FALSE(desk.hotkeys.press(1));
    window.makeFirstResponder(nullptr);
    EXPECT_FALSE(controller->activeTextView());
    EXPECT_EQ(desk.hotkeys.registered().size(), 8u);

    window.click(kSelect);
    controller->hotkeyWindowActive();
    EXPECT_FALSE(controller->activeTextView());
    window.click(kSelect);
    controller->hotkeyWindowResign();
    EXPECT_FALSE(window.text(kSelect).editing());
    EXPECT_EQ(desk.hotkeys.registered().size(), 8u);
}

// Same flags and key code conflict whatever the key's text; the same key with
// other flags is another shortcut.
TEST_F(Settings, RecordingAnotherRowsCombinationClearsThatRow) {
    open();
    window.text(kSelect).setCurrentChar("q");
    type(kPattern, kCtl | kSh, static_cast<std::uint16_t>(kVK_Z), "z");

    EXPECT_EQ(shown(kPattern), "\u2303\u21E7Z");
    EXPECT_EQ(shown(kSelect), "none");
    EXPECT_EQ(stored("selectMode"), (HotkeyRecord{false, false, false, false, 0, ""}));
    EXPECT_EQ(stored("patternMode"), (HotkeyRecord{true, false, true, false, 6, "Z"}));
    EXPECT_EQ(window.checks[kSelect].value, 1);
    // Registered anew once, at the end of the recording: id 3 on the new keys, id 1 gone.
    ASSERT_TRUE(registration(3));
    EXPECT_EQ(registration(3)->keyCode, 6u);
    EXPECT_EQ(registration(3)->modifiers, 4096u + 512u);
    EXPECT_FALSE(registration(1));
    EXPECT_EQ(desk.hotkeys.registered().size(), 7u);
    EXPECT_TRUE(shell.statusMenu.item(MenuItemRole::StartSelection).keyEquivalent.empty());

    type(kWindow, kCtl | kOpt, static_cast<std::uint16_t>(kVK_Z), "z");
    EXPECT_EQ(shown(kPattern), "\u2303\u21E7Z");
}

TEST_F(Settings, DamagedKeyCodeShowsAsNoneAndIsNeverSavedAsTheAKey) {
    launch();
    Dictionary records = *dictionaryForKey(desk.defaults, prefkey::userHotkeys);
    records["windowMode"] = Value::dictionary({{"control", Value::boolean(true)}, {"keycode", Value::integer(-1)}});
    desk.defaults.setObject(prefkey::userHotkeys, Value::dictionary(records));
    openWindow();
    EXPECT_EQ(shown(kWindow), "none");
    type(kPattern, kCtl | kOpt, static_cast<std::uint16_t>(kVK_C), "c");   // saves every row
    EXPECT_FALSE(stored("windowMode").hasModifier());
    EXPECT_FALSE(registration(4));
}

TEST_F(Settings, SwitchingARowOffGreysItStoresItAndUnregistersIt) {
    open();
    window.check(kWindow).setState(0);
    controller->handleHotkeyCheck(kWindow);

    EXPECT_EQ(window.labels[kWindow].color, TextColor::DisabledControlText);
    EXPECT_EQ(window.view(kWindow).background, BackgroundColor::LightGrey);
    EXPECT_EQ((*arrayForKey(desk.defaults, prefkey::hotkeySettings))[kWindow], row("windowMode", false, "Window mode"));
    EXPECT_FALSE(registration(4));
    EXPECT_EQ(desk.hotkeys.registered().size(), 7u);
    window.click(kWindow);
    EXPECT_FALSE(controller->activeTextView());

    window.check(kWindow).setState(1);
    controller->handleHotkeyCheck(kWindow);
    EXPECT_EQ(window.view(kWindow).background, BackgroundColor::White);
    EXPECT_TRUE(registration(4));
}

TEST_F(Settings, RestoringAPresetRewritesEveryRowButKeepsTheSwitches) {
    open();
    window.check(kPattern).setState(0);
    controller->handleHotkeyCheck(kPattern);
    controller->restoreDefaults(1);

    EXPECT_EQ(shown(kSelect), "\u2303\u23251");
    EXPECT_EQ(shown(6), "\u2303\u2325-");
    EXPECT_EQ(stored("windowMode"), (HotkeyRecord{true, true, false, false, 21, "4"}));
    EXPECT_EQ(window.checks[kPattern].value, 0);
    EXPECT_FALSE(hotkeySettings(desk.defaults)[kPattern].enabled);
    const SimMenuItem select = shell.statusMenu.item(MenuItemRole::StartSelection);
    EXPECT_EQ(select.keyEquivalent, "1");
    EXPECT_EQ(select.modifierMask, kCtl | kOpt);
    EXPECT_EQ(shell.statusMenu.item(MenuItemRole::DecreaseOpacity).keyEquivalent, "-");
    EXPECT_EQ(registration(1)->keyCode, 18u);
    EXPECT_FALSE(registration(3));

    controller->restoreDefaults(0);
    EXPECT_EQ(shown(kSelect), "\u2303\u21E7Z");
}

TEST_F(Settings, PresetRecordWithoutModifierShowsItsBareKeyAndAMissingPresetEmptiesAll) {
    Dictionary preset = *default1Preset().asDictionary();
    preset["selectMode"] = record(None, kVK_Z, "Z");
    desk.bundle.setPropertyList("hotkeys", Value::dictionary({{"default1", Value::dictionary(preset)}}));
    open();
    controller->restoreDefaults(0);
    EXPECT_EQ(shown(kSelect), "Z");
    EXPECT_FALSE(registration(1));

    controller->restoreDefaults(1);   // no "default2"
    EXPECT_EQ(shown(kClose), "");
    EXPECT_EQ(stored("closeOverlay"), (HotkeyRecord{false, false, false, false, 0, ""}));
    EXPECT_TRUE(desk.hotkeys.registered().empty());
}

TEST_F(Settings, SliderEndsRecordingStoresTheOpacityAndFollowsTheOverlay) {
    open();
    window.click(kSelect);
    window.slider.value = 0.35f;
    controller->handleSlider();
    EXPECT_FALSE(controller->activeTextView());
    EXPECT_EQ(shown(kSelect), "\u2303\u21E7Z");
    EXPECT_FLOAT_EQ(floatForKey(desk.defaults, prefkey::opacity), 0.35f);
    EXPECT_TRUE(desk.log.contains("listening to opacity notification"));

    // The opacity hotkey raises it; the slider follows.
    app->increaseOpacity();
    EXPECT_FLOAT_EQ(window.slider.value, floatForKey(desk.defaults, prefkey::opacity));
    EXPECT_GT(window.slider.value, 0.35f);

    // Whatever a slider reports, the veil stored stays drawable.
    const std::pair<float, float> reported[] = {{std::numeric_limits<float>::quiet_NaN(), 0.8f},
                                                {-1.0f, 0.2f},
                                                {5.0f, 1.0f},
                                                {std::numeric_limits<float>::infinity(), 1.0f}};
    for (const auto& [value, stored] : reported) {
        window.slider.value = value;
        controller->handleSlider();
        EXPECT_EQ(floatForKey(desk.defaults, prefkey::opacity), stored) << value;
    }
}

TEST_F(Settings, ClosingMidRecordingRegistersTheHotkeysAndForgetsTheController) {
    launch();
    app->openSettings();
    openWindow();
    window.click(kSelect);
    controller->windowWillClose();
    controller.reset();

    EXPECT_EQ(desk.hotkeys.registered().size(), 8u);
    EXPECT_FALSE(app->settingsControllerOpen());
    // Nobody listens any more.
    desk.notifications.post("updatesettingsopacity");
    desk.notifications.post("toggleclickout");
}

} // namespace
} // namespace dimwell
