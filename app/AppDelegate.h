#pragma once
// The application's root object: seeds the preferences, puts the status item
// and its menu up, owns the overlay controller, keeps four menu shortcuts in
// step with the user's hotkeys, and integrates with the session (tutorial,
// login item, accessibility).

#include "common/Log.h"
#include "common/NotificationCenter.h"
#include "overlay/AppController.h"
#include "platform/ports/Applications.h"
#include "platform/ports/Desktop.h"
#include "platform/ports/LoginItems.h"
#include "platform/ports/MaskSurface.h"
#include "platform/ports/SettingsWindowOpener.h"
#include "platform/ports/StatusMenu.h"
#include "settings/SettingsControllerDelegate.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace dimwell {

/// What the application shell needs beyond the overlay's ports.
struct ShellPorts {
    StatusBar& statusBar;
    StatusMenu& statusMenu;
    Applications& applications;
    LoginItemsService& loginItems;
    SettingsWindowOpener& settingsWindows;
};

/// The status-menu item whose shortcut follows `modeName`'s hotkey, if any.
std::optional<MenuItemRole> menuItemForMode(const std::string& modeName);

/// An item of the login list belongs to the application at `bundlePath` when it
/// is that path or lies inside it; a sibling that merely extends the name
/// ("Dimwell2") is another program.
bool isPathOfApplication(const std::string& itemPath, const std::string& bundlePath);

class AppDelegate : public AppControllerDelegate, public SettingsControllerDelegate {
public:
    /// Connects the menu's items to their actions, as loading the menu does.
    AppDelegate(const DesktopPorts& desktop, const ShellPorts& shell);
    ~AppDelegate() override;
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // Start-up and termination.
    void awakeFromNib();
    void applicationDidFinishLaunching();
    void applicationWillTerminate();

    // Menu actions.
    void performMenuAction(MenuItemRole item);
    void startSelectionMode();
    void closeOverlay();
    void increaseOpacity();
    void decreaseOpacity();
    void openSettings();
    void openTutorial();
    void startController();
    void stopController();
    void toggleLoginItem(bool on);
    void setCrossColor(const Color& color);

    // Menu tracking.
    void menuactive();
    void menuresign();

    // Accessibility trust.
    void makeProcessTrusted();

    // AppControllerDelegate and SettingsControllerDelegate.
    /// Shown from the status item; without one only the log has it.
    void tellUser(const std::string& title, const std::string& text) override {
        if (statusItem_) {
            statusItem_->showMessage(title, text);
        }
    }
    void setClickOut(bool on) override;
    void stopHotkeysDelegate() override;
    void startHotkeysDelegate() override;
    void resetMenuKeyEquivalents(const std::string& modeName, std::uint32_t keyCode, const std::string& character,
                                 std::uint64_t modifierMask) override;
    void updateOpacity() override;
    bool loginItemExistsWithLoginItemReference(LoginItemsList& list, const std::string& path) override;
    void disableLoginItemWithLoginItemsReference(LoginItemsList& list, const std::string& path) override;
    void enableLoginItemWithLoginItemsReference(LoginItemsList& list, const std::string& path) override;
    void setCurrentOnly(bool on) override;
    void setBringToFrontMode(bool on) override;
    void nilOutSettingsController() override;

    AppController* appcontroller() const { return appcontroller_.get(); }
    const StatusItem* statusItem() const { return statusItem_.get(); }
    bool settingsControllerOpen() const { return settingsControllerOpen_; }
    bool firstRun() const { return firstRun_; }

private:
    void setMenuKeyEquivalentsFromPreferences();

    DesktopPorts desktop_;
    ShellPorts shell_;
    Logger log_;

    std::unique_ptr<AppController> appcontroller_;
    std::unique_ptr<StatusItem> statusItem_;
    StatusMenu& statusMenu_;
    bool settingsControllerOpen_ = false;
    Defaults& prefs_;
    bool firstRun_ = false;
};

} // namespace dimwell
