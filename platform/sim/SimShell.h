#pragma once
// The application shell's side of the simulated desktop: status area and menu,
// other programs, login items and the settings window.

#include "app/AppDelegate.h"
#include "platform/sim/SimApplications.h"
#include "platform/sim/SimLoginItems.h"
#include "platform/sim/SimSettingsWindow.h"
#include "platform/sim/SimStatusMenu.h"

namespace dimwell {

struct SimShell {
    ShellPorts ports() { return {statusBar, statusMenu, applications, loginItems, settingsWindows}; }

    SimStatusBar statusBar;
    SimStatusMenu statusMenu;
    SimApplications applications;
    SimLoginItemsService loginItems;
    SimSettingsWindows settingsWindows;
};

} // namespace dimwell
