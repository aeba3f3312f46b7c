// The settings window on a real X server: real key presses (XTest, through
// xdotool) typed into its recorders, read back from the preference file; the
// focus, the row switches and closing.

#include "EventPump.h"
#include "TempFolder.h"
#include "WindowTestSupport.h"

#include "app/Preferences.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimLoginItems.h"
#include "platform/linux/prefs/PlistBundle.h"
#include "platform/linux/prefs/PlistDefaults.h"
#include "platform/linux/settings/QtSettingsWindows.h"
#include "platform/linux/settings/SettingsDialog.h"
#include "platform/x11/X11Session.h"
#include "platform/x11/input/X11KeyboardLayout.h"
#include "settings/SettingsControllerDelegate.h"

#include <QLabel>

#include <cstdlib>

namespace dimwell::x11 {
namespace {

using namespace std::chrono_literals;

/// Counts what the window asks of the application.
struct Application : SettingsControllerDelegate {
    void stopHotkeysDelegate() override { hotkeysOn = false; }
    void startHotkeysDelegate() override { hotkeysOn = true; }
    void resetMenuKeyEquivalents(const std::string&, std::uint32_t, const std::string&, std::uint64_t) override {}
    void updateOpacity() override {}
    bool loginItemExistsWithLoginItemReference(LoginItemsList&, const std::string&) override { return false; }
    void disableLoginItemWithLoginItemsReference(LoginItemsList&, const std::string&) override {}
    void enableLoginItemWithLoginItemsReference(LoginItemsList&, const std::string&) override {}
    void setCurrentOnly(bool) override {}
    void setClickOut(bool) override {}
    void setBringToFrontMode(bool) override {}
    void nilOutSettingsController() override {}
    bool hotkeysOn = true;
};

/// Runs xdotool on the test desktop, bounded in time.
bool xdotool(const std::string& args) {
    return std::system(("timeout 5 xdotool " + args).c_str()) == 0;
}

bool setxkbmap(const std::string& layout) { return std::system(("timeout 5 setxkbmap " + layout).c_str()) == 0; }

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        DIMWELL_REQUIRE_DESKTOP();
        defaults = std::make_unique<PlistDefaults>(folder / "prefs.plist", log);
        loadDefaults(*defaults, bundle);
        keyboard = std::make_unique<X11KeyboardLayout>(test::qtConnection(), &log);
        windows = std::make_unique<QtSettingsWindows>(
            SettingsContext{*defaults, bundle, displays, loginItems, notifications, log}, *keyboard,
            activateThroughWindowManager);
        ASSERT_TRUE(windows->open(app));
        windows->bringToFront();
        ASSERT_TRUE(test::pumpUntil([&] { return dialog().isActiveWindow(); }, 5s)) << "the window never became active";
    }
    void TearDown() override {
        xdotool("keyup ctrl alt shift super ISO_Level3_Shift");
        setxkbmap("us");
        windows.reset();
    }

    SettingsDialog& dialog() { return *windows->dialog(); }
    /// A real click in the middle of a widget.
    void click(QWidget* w) {
        const QPoint p = w->mapToGlobal(w->rect().center());
        // --sync waits for the pointer to move: start from elsewhere so that it does.
        ASSERT_TRUE(xdotool("mousemove 0 0 mousemove --sync " + std::to_string(p.x()) + " " + std::to_string(p.y()) +
                            " click 1"));
    }
    void startRecording(int row) {
        click(&dialog().field(row));
        ASSERT_TRUE(test::pumpUntil([&] { return dialog().text(row).editing(); }, 3s));
    }
    std::string shown(int row) { return dialog().field(row).string(); }
    /// What the user reads in the field: the key as the active layout names it.
    std::string seen(int row) { return dialog().field(row).text().toStdString(); }
    /// What the preference file on disk holds for `mode`, read by a fresh reader.
    HotkeyRecord storedOnDisk(const std::string& mode) {
        PlistDefaults reread(folder / "prefs.plist", log);
        return userHotkey(reread, mode).value_or(HotkeyRecord{});
    }

    testing::RecordingLog log;
    dimwell::test::TempFolder folder;
    PlistBundle bundle{"/opt/dimwell/bin", DIMWELL_SOURCE_RESOURCES, log};
    SimDisplays displays{"1440x900+0+0"};
    SimLoginItemsService loginItems;
    NotificationCenter notifications;
    std::unique_ptr<PlistDefaults> defaults;
    std::unique_ptr<X11KeyboardLayout> keyboard;
    std::unique_ptr<QtSettingsWindows> windows;
    Application app;
};

constexpr int kWindowRow = 3;   // rows as shipped: select, close, pattern, window, …

// A plain combination typed on the real desktop, read back from the file, and the
// hotkeys answering to it afterwards are checked end to end.
TEST_F(SettingsDialogTest, ShiftedDigitAndControlTabAreTheKeysNotTheirShiftedText) {
    startRecording(0);
    EXPECT_EQ(shown(0), "type");
    EXPECT_FALSE(app.hotkeysOn);
    EXPECT_TRUE(dialog().frame(0).showsFocusRing());
    ASSERT_TRUE(xdotool("keydown ctrl keydown shift"));
    ASSERT_TRUE(test::pumpUntil([&] { return shown(0) == "\u2303\u21E7"; }, 3s)) << shown(0);
    ASSERT_TRUE(xdotool("key 1 keyup shift keyup ctrl"));
    ASSERT_TRUE(test::pumpUntil([&] { return !dialog().text(0).editing(); }, 3s));
    EXPECT_EQ(shown(0), "\u2303\u21E71");
    EXPECT_EQ(storedOnDisk("selectMode"), (HotkeyRecord{true, false, true, false, 18, "1"}));
    EXPECT_TRUE(app.hotkeysOn);
    EXPECT_EQ(dialog().firstResponder(), nullptr);
    EXPECT_FALSE(dialog().frame(0).showsFocusRing());

    // Tab would move the focus in any other field.
    startRecording(1);
    ASSERT_TRUE(xdotool("keydown ctrl key Tab keyup ctrl"));
    ASSERT_TRUE(test::pumpUntil([&] { return !dialog().text(1).editing(); }, 3s));
    EXPECT_EQ(shown(1), "\u2303\u21E5");
    EXPECT_EQ(storedOnDisk("closeOverlay").keycode, 48u);
}

TEST_F(SettingsDialogTest, EscapeAloneAndAClickElsewhereLeaveTheShortcutAsItWas) {
    const std::string before = shown(kWindowRow);
    startRecording(kWindowRow);
    ASSERT_TRUE(xdotool("key x"));   // refused: no modifier
    test::pumpFor(200ms);
    EXPECT_TRUE(dialog().text(kWindowRow).editing());
    ASSERT_TRUE(xdotool("key Escape"));
    ASSERT_TRUE(test::pumpUntil([&] { return !dialog().text(kWindowRow).editing(); }, 3s));
    EXPECT_EQ(shown(kWindowRow), before);

    startRecording(kWindowRow);
    click(dialog().rowLabel(0));
    ASSERT_TRUE(test::pumpUntil([&] { return !dialog().text(kWindowRow).editing(); }, 3s));
    EXPECT_EQ(shown(kWindowRow), before);
    EXPECT_TRUE(app.hotkeysOn);
    EXPECT_EQ(storedOnDisk("windowMode").keycode, 7u);   // X, as shipped
}

// On AZERTY: the physical key, named by what it types there; AltGr counts as
// Option; a key no stored code names is refused where the user sees it.
TEST_F(SettingsDialogTest, RecordsThePhysicalKeyWithTheActiveLayoutsCharacter) {
    ASSERT_TRUE(setxkbmap("fr"));
    test::pumpFor(300ms);
    startRecording(0);
    ASSERT_TRUE(xdotool("keydown ctrl key ampersand keyup ctrl"));
    ASSERT_TRUE(test::pumpUntil([&] { return !dialog().text(0).editing(); }, 3s));
    EXPECT_EQ(shown(0), "\u2303&");
    EXPECT_EQ(storedOnDisk("selectMode"), (HotkeyRecord{true, false, false, false, 18, "&"}));

    startRecording(1);
    ASSERT_TRUE(xdotool("keydown ISO_Level3_Shift key eacute keyup ISO_Level3_Shift"));
    ASSERT_TRUE(test::pumpUntil([&] { return !dialog().text(1).editing(); }, 3s));
    EXPECT_EQ(shown(1), "\u2325\u00C9");
    EXPECT_EQ(storedOnDisk("closeOverlay"), (HotkeyRecord{false, true, false, false, 19, "\u00C9"}));

    startRecording(2);
    ASSERT_TRUE(xdotool("keydown ctrl key Menu"));
    ASSERT_TRUE(test::pumpUntil([&] { return log.contains("cannot be part of a shortcut"); }, 3s));
    EXPECT_EQ(shown(2), "type");
    EXPECT_EQ(dialog().field(2).textColor(), TextColor::Grey);
    EXPECT_TRUE(dialog().text(2).editing());
    ASSERT_TRUE(xdotool("keyup ctrl key Escape"));

    // Back on US the same key is named as US names it; what is stored stays.
    ASSERT_TRUE(setxkbmap("us"));
    EXPECT_TRUE(test::pumpUntil([&] { return seen(1) == "\u23252"; }, 3s)) << seen(1);
    EXPECT_EQ(seen(0), "\u23031");
    EXPECT_EQ(storedOnDisk("closeOverlay").character, "\u00C9");
}

} // namespace
} // namespace dimwell::x11
