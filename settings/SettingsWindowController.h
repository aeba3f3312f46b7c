#pragma once
// The settings window's logic: fills the window from the preferences, writes
// every change back at once and tells the application so that the running
// overlay follows. Delegate of the window's hotkey recorders.

#include "common/Log.h"
#include "common/NotificationCenter.h"
#include "settings/NSMyTextField.h"

#include <string>
#include <vector>

namespace dimwell {

class Bundle;
class Defaults;
class DisplayServer;
class LoginItemsList;
class LoginItemsService;
class SettingsControllerDelegate;
class SettingsWindow;

/// The program's pieces the settings window reads and writes.
struct SettingsContext {
    Defaults& defaults;
    const Bundle& bundle;
    const DisplayServer& displays;
    LoginItemsService& loginItems;
    NotificationCenter& notifications;
    LogSink& log;
};

/// "⌃ Control      ⇧ Shift      ⌥ Option      ⌘ Command"
std::string legendText();

class SettingsWindowController : public MyNSTextFieldDelegate {
public:
    /// Fills `window` (already loaded, recorders set up) from the preferences.
    SettingsWindowController(SettingsWindow& window, const SettingsContext& context);
    ~SettingsWindowController() override;
    SettingsWindowController(const SettingsWindowController&) = delete;
    SettingsWindowController& operator=(const SettingsWindowController&) = delete;

    void setMydelegate(SettingsControllerDelegate* delegate) { mydelegate_ = delegate; }
    SettingsControllerDelegate* mydelegate() const { return mydelegate_; }
    bool activeTextView() const { return activeTextView_; }

    // Actions of the window's controls.
    void handleHotkeyCheck(int tag);
    void handleSlider();
    void toggleClickOut();
    void toggleCurrentOnly();
    void toggleBringToFront();
    void toggleLoginItem();
    /// Tag 0 restores "default1", tag 1 "default2".
    void restoreDefaults(int tag);

    // MyNSTextFieldDelegate.
    void setMyActiveTextView(bool active) override;
    void removeFromOther(NSMyTextField& recorder) override;
    void saveHotkeys() override;
    void setFirstResponder(NSMyTextField* responder) override;

    /// Ends any recording.
    void resetFirstResponder();
    bool loginItemExistsWithLoginItemReference(const LoginItemsList& list, const std::string& path) const;

    // What the window and the program report.
    /// The window is closing; its owner releases this controller right after.
    void windowWillClose();
    void hotkeyWindowActive();
    void hotkeyWindowResign();
    void updateOpacity();
    void updateClickOut();

private:
    void fillRows();
    void showRowEnabled(int row, bool enabled);
    int rowCount() const;

    SettingsWindow& window_;
    SettingsContext context_;
    Logger log_;
    SettingsControllerDelegate* mydelegate_ = nullptr;
    std::vector<NSMyTextField*> textfields_;
    bool activeTextView_ = false;
    std::vector<ObserverRegistration> observers_;
};

} // namespace dimwell
