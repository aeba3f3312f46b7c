// Dimwell: dims every display except one clear rectangle.

#include "app/AppDelegate.h"
#include "app/RemoteActions.h"
#include "common/Log.h"
#include "platform/linux/CommandLineAnswer.h"
#include "platform/linux/RemoteControl.h"
#include "platform/x11/ProgramApplications.h"
#include "platform/x11/QtSettingsWindows.h"
#include "platform/x11/QuitOnSignal.h"
#include "platform/x11/SingleInstance.h"
#include "platform/x11/StderrLog.h"
#include "platform/x11/TrayIcon.h"
#include "platform/x11/TrayMenu.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/XdgLoginItems.h"

#include <QApplication>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

/// Qt aborts with a page of advice when it cannot reach the display; ask first.
bool displayReachable() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const bool ok = xcb_connection_has_error(c) == 0;
    xcb_disconnect(c);
    return ok;
}

} // namespace

int main(int argc, char* argv[]) {
    // Help, version and remote actions need no display and no second Dimwell.
    if (const std::optional<int> answered = dimwell::linuxdesktop::answerCommandLine(argc, argv)) {
        return *answered;
    }
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display || !displayReachable()) {
        std::fprintf(stderr, "Dimwell: cannot open the X display %s\n",
                     display && *display ? display : "(DISPLAY is not set)");
        return 1;
    }
    // One Dimwell per session, settled before anything reads the preferences.
    using dimwell::x11::SingleInstanceLock;
    const SingleInstanceLock instance(SingleInstanceLock::sessionLockPath(display));
    if (instance.outcome() == SingleInstanceLock::Outcome::HeldElsewhere) {
        dimwell::x11::StderrLog(dimwell::x11::StderrLog::stderrWanted(), true).write("Dimwell is already running");
        return 0;
    }

    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dimwell"));
    // The program lives in the background; closing a window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    dimwell::x11::X11Desktop desktop;
    const dimwell::Logger log(desktop.log());
    if (instance.outcome() == SingleInstanceLock::Outcome::Unavailable) {
        log("cannot take the session lock: a second Dimwell would not be noticed");
    }
    const dimwell::x11::QuitOnSignal quit([](int) { QApplication::quit(); });

    dimwell::x11::TrayStatusBar statusBar(desktop.log());
    dimwell::x11::TrayMenu statusMenu;
    dimwell::x11::ProgramApplications applications(desktop.log());
    dimwell::x11::XdgLoginItemsService loginItems(desktop.log());
    const dimwell::DesktopPorts ports = desktop.ports();
    dimwell::x11::QtSettingsWindows settingsWindows(
        {ports.defaults, ports.bundle, ports.displays, loginItems, ports.notifications, desktop.log()});
    dimwell::AppDelegate delegate(desktop.ports(), {statusBar, statusMenu, applications, loginItems, settingsWindows});
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&delegate] { delegate.applicationWillTerminate(); });

    dimwell::linuxdesktop::RemoteControl remote(
        desktop.log(), [&delegate](const std::string& action) { return dimwell::performRemoteAction(delegate, action); });

    delegate.awakeFromNib();
    // Launching has finished once the event loop turns.
    QTimer::singleShot(0, &app, [&delegate, &log, &remote] {
        delegate.applicationDidFinishLaunching();
        remote.publish();
        log("Dimwell started");
    });
    return QApplication::exec();
}
