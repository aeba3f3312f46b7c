#include "app/AppDelegate.h"

#include "app/Preferences.h"
#include "platform/ports/Bundle.h"

namespace dimwell {

std::optional<MenuItemRole> menuItemForMode(const std::string& modeName) {
    if (modeName == mode::closeOverlay) {
        return MenuItemRole::CloseOverlay;
    }
    if (modeName == mode::selectMode) {
        return MenuItemRole::StartSelection;
    }
    if (modeName == mode::increaseOpacity) {
        return MenuItemRole::IncreaseOpacity;
    }
    if (modeName == mode::decreaseOpacity) {
        return MenuItemRole::DecreaseOpacity;
    }
    return std::nullopt;
}

AppDelegate::AppDelegate(const DesktopPorts& desktop, const ShellPorts& shell)
    : desktop_(desktop), shell_(shell), log_(desktop.log), statusMenu_(shell.statusMenu), prefs_(desktop.defaults) {
    statusMenu_.setActionHandler([this](MenuItemRole item) { performMenuAction(item); });
}

AppDelegate::~AppDelegate() {
    // The menu outlives this object; it must not call back into it.
    statusMenu_.setActionHandler({});
    statusMenu_.setTrackingHandlers({}, {});
}

void AppDelegate::awakeFromNib() {
    firstRun_ = loadDefaults(prefs_, desktop_.bundle, &log_);

    statusItem_ = shell_.statusBar.statusItemWithLength(StatusBar::variableLength);
    if (statusItem_) {
        statusItem_->setMenu(statusMenu_);
        statusItem_->setImage(desktop_.bundle.resourcePath("statusicon", "png"));
        statusItem_->setAlternateImage(desktop_.bundle.resourcePath("statusicon_alt", "png"));
        statusItem_->setHighlightMode(true);
    }

    statusMenu_.setEnabled(MenuItemRole::Start, true);
    statusMenu_.setEnabled(MenuItemRole::Quit, true);
    statusMenu_.setEnabled(MenuItemRole::Settings, true);
    statusMenu_.setEnabled(MenuItemRole::Help, true);

    statusMenu_.setTitle(MenuItemRole::Quit, formatString("Quit %s", desktop_.bundle.processName().c_str()));

    setMenuKeyEquivalentsFromPreferences();

    statusMenu_.setTrackingHandlers([this] { menuactive(); }, [this] { menuresign(); });

    if (firstRun_) {
        openTutorial();
    }
}

void AppDelegate::setMenuKeyEquivalentsFromPreferences() {
    // Whether a row is switched on does not matter here: the menu shows the
    // shortcut the user recorded even while its global hotkey is off.
    for (const HotkeySettingsEntry& entry : hotkeySettings(prefs_)) {
        const std::optional<MenuItemRole> item = menuItemForMode(entry.mode);
        if (!item) {
            continue;
        }
        const std::optional<HotkeyRecord> record = userHotkey(prefs_, entry.mode);
        if (!record) {
            continue;
        }
        if (!record->hasKey) {   // a damaged key code names no key: no equivalent at all
            statusMenu_.setKeyEquivalent(*item, 0, "", 0);
            continue;
        }
        statusMenu_.setKeyEquivalent(*item, record->keycode, record->character.value_or(""), record->menuModifierMask());
    }
}

void AppDelegate::applicationDidFinishLaunching() {
    appcontroller_ = std::make_unique<AppController>(desktop_);
    appcontroller_->setDelegate(this);
    appcontroller_->startHotkeys();
}

void AppDelegate::applicationWillTerminate() {
    for (const RunningApplication& tutorial : shell_.applications.runningTutorials()) {
        shell_.applications.terminate(tutorial);
    }
}

void AppDelegate::performMenuAction(MenuItemRole item) {
    switch (item) {
    case MenuItemRole::StartSelection: startSelectionMode(); break;
    case MenuItemRole::CloseOverlay: closeOverlay(); break;
    case MenuItemRole::IncreaseOpacity: increaseOpacity(); break;
    case MenuItemRole::DecreaseOpacity: decreaseOpacity(); break;
    case MenuItemRole::Settings: openSettings(); break;
    case MenuItemRole::Help: openTutorial(); break;
    case MenuItemRole::Start: startController(); break;
    case MenuItemRole::Stop: stopController(); break;
    case MenuItemRole::Quit: shell_.applications.terminateSelf(); break;
    }
}

// Until launching has finished there is no controller; the menu is already up,
// so every action that needs one does nothing until then.

void AppDelegate::startSelectionMode() {
    if (appcontroller_) {
        appcontroller_->setMouseInput();
    }
}

void AppDelegate::closeOverlay() {
    log_("close overlay?");
    if (appcontroller_) {
        appcontroller_->closeOverlay();
    }
}

void AppDelegate::increaseOpacity() {
    if (appcontroller_) {
        appcontroller_->increaseOpacity();
    }
}

void AppDelegate::decreaseOpacity() {
    if (appcontroller_) {
        appcontroller_->decreaseOpacity();
    }
}

void AppDelegate::openSettings() {
    if (!settingsControllerOpen_) {
        settingsControllerOpen_ = shell_.settingsWindows.open(*this);
    }
    if (settingsControllerOpen_) {
        shell_.settingsWindows.bringToFront();
    }
}

void AppDelegate::openTutorial() {
    // A missing tutorial program fails quietly, as the user can do nothing about it here.
    shell_.applications.launchTutorial();
}

void AppDelegate::startController() {
    statusMenu_.setEnabled(MenuItemRole::Stop, true);
    statusMenu_.setEnabled(MenuItemRole::Start, false);
    if (appcontroller_) {
        appcontroller_->startHotkeys();
    }
}

void AppDelegate::stopController() {
    statusMenu_.setEnabled(MenuItemRole::Stop, false);
    statusMenu_.setEnabled(MenuItemRole::Start, true);
    if (appcontroller_) {
        appcontroller_->stopHotkeys();
    }
}

void AppDelegate::setCrossColor(const Color& color) {
    if (appcontroller_) {
        appcontroller_->setCrossColor(color);
    }
}

void AppDelegate::menuactive() {
    // No global hotkey may fire while the user is in the menu.
    if (appcontroller_) {
        appcontroller_->stopHotkeys();
    }
    if (settingsControllerOpen_) {
        shell_.settingsWindows.resetFirstResponder();
    }
    log_("menu active");
}

void AppDelegate::menuresign() {
    if (appcontroller_) {
        appcontroller_->startHotkeys();
    }
    log_("menu resigned");
}

void AppDelegate::setClickOut(bool on) {
    setBool(prefs_, prefkey::clickOut, on);
    if (appcontroller_) {
        appcontroller_->setClickOut(on);
        appcontroller_->toggleEventTap(on);
    }
}

void AppDelegate::stopHotkeysDelegate() {
    if (appcontroller_) {
        appcontroller_->stopHotkeys();
        appcontroller_->closeOverlay();
    }
}

void AppDelegate::startHotkeysDelegate() {
    if (appcontroller_) {
        appcontroller_->startHotkeys();
    }
}

void AppDelegate::resetMenuKeyEquivalents(const std::string& modeName, std::uint32_t keyCode,
                                          const std::string& character, std::uint64_t modifierMask) {
    log_("mode: %s, currentChar: %s", modeName.c_str(), character.c_str());
    if (const std::optional<MenuItemRole> item = menuItemForMode(modeName)) {
        statusMenu_.setKeyEquivalent(*item, keyCode, character, modifierMask);
    }
    log_("reset menu hot keys");
}

void AppDelegate::updateOpacity() { desktop_.notifications.post(notification::opacityChange); }

void AppDelegate::setCurrentOnly(bool on) {
    if (appcontroller_) {
        appcontroller_->setSingleMonitorOnly(on);
    }
}

void AppDelegate::setBringToFrontMode(bool on) {
    if (appcontroller_) {
        appcontroller_->setBringToFrontMode(on);
    }
}

void AppDelegate::nilOutSettingsController() { settingsControllerOpen_ = false; }

} // namespace dimwell
