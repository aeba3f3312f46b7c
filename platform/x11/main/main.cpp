// Dimwell: dims every display except one clear rectangle.

#include "app/AppDelegate.h"
#include "app/BackendChoice.h"
#include "app/CommandLine.h"
#include "app/RemoteActions.h"
#include "common/Log.h"
#include "platform/linux/remote/CommandLineAnswer.h"
#include "platform/linux/remote/RemoteControl.h"
#include "platform/linux/session/ProgramApplications.h"
#include "platform/linux/settings/QtSettingsWindows.h"
#include "platform/linux/session/QuitOnSignal.h"
#include "platform/linux/session/SingleInstance.h"
#include "platform/linux/session/StderrLog.h"
#include "platform/linux/tray/TrayIcon.h"
#include "platform/linux/tray/TrayMenu.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11Session.h"
#include "platform/x11/XcbUtil.h"
#include "platform/x11/input/X11KeyboardLayout.h"
#include "platform/linux/session/XdgLoginItems.h"
#ifdef DIMWELL_WITH_WAYLAND
#include "platform/wayland/LayerShellProbe.h"
#include "platform/wayland/WaylandDesktop.h"
#include "platform/wayland/WaylandHotkeys.h"
#endif

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

/// Qt aborts with a page of advice when it cannot reach the display; ask first.
bool displayReachable() {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const bool ok = xcb_connection_has_error(c) == 0;
    xcb_disconnect(c);
    return ok;
}

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

/// --platform, else the session: Wayland with layer shell, else X.
dimwell::BackendChoice chooseBackend(int argc, char* argv[]) {
    dimwell::SessionFacts facts;
    facts.requested = dimwell::parseCommandLine({argv + std::min(argc, 1), argv + argc}).platform;
    facts.waylandDisplay = isSet("WAYLAND_DISPLAY");
    facts.xDisplay = isSet("DISPLAY");
#ifdef DIMWELL_WITH_WAYLAND
    facts.offersLayerShell = dimwell::wayland::compositorOffersLayerShell;
#endif
    return dimwell::chooseBackend(facts);
}

/// The arguments for Qt: without Dimwell's --platform, which Qt would take for
/// the name of one of its own platform plugins ("x11" is none). Null-ended, as argv.
std::vector<char*> qtArguments(int argc, char* argv[]) {
    std::vector<char*> kept;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (i > 0 && arg == "--platform") {
            ++i;
        } else if (i == 0 || !arg.starts_with("--platform=")) {
            kept.push_back(argv[i]);
        }
    }
    kept.push_back(nullptr);
    return kept;
}

/// Dimwell cannot run on this desktop: said in the system log and in a window,
/// since a program started from a menu has no terminal.
void tellUnsupported(int argc, char* argv[], const std::string& why) {
    dimwell::x11::StderrLog(false, true).write(why);
    qputenv("QT_QPA_PLATFORM", "wayland");
    std::vector<char*> arguments = qtArguments(argc, argv);
    int count = static_cast<int>(arguments.size()) - 1;
    QApplication app(count, arguments.data());
    QMessageBox::warning(nullptr, QStringLiteral("Dimwell"), QString::fromStdString(why));
}

} // namespace

int main(int argc, char* argv[]) {
    // Help, version and remote actions need no display and no second Dimwell.
    if (const std::optional<int> answered = dimwell::linuxdesktop::answerCommandLine(argc, argv)) {
        return *answered;
    }
    const dimwell::BackendChoice backend = chooseBackend(argc, argv);
    const bool onWayland = backend.backend == dimwell::Backend::Wayland;
    if (backend.backend == dimwell::Backend::None) {
        std::fprintf(stderr, "Dimwell: %s\n", backend.error.c_str());
        if (backend.tellUser) {
            tellUnsupported(argc, argv, backend.error);
        }
        return 1;
    }
    const char* display = std::getenv(onWayland ? "WAYLAND_DISPLAY" : "DISPLAY");
    if (!onWayland && !displayReachable()) {
        std::fprintf(stderr, "Dimwell: cannot open the X display %s\n", display);
        return 1;
    }
    // One Dimwell per session, settled before anything reads the preferences.
    using dimwell::x11::SingleInstanceLock;
    const SingleInstanceLock instance(SingleInstanceLock::sessionLockPath(display));
    if (instance.outcome() == SingleInstanceLock::Outcome::HeldElsewhere) {
        dimwell::x11::StderrLog(dimwell::x11::StderrLog::stderrWanted(), true).write("Dimwell is already running");
        return 0;
    }

    qputenv("QT_QPA_PLATFORM", onWayland ? "wayland" : "xcb");
    std::vector<char*> qtArgv = qtArguments(argc, argv);
    int qtArgc = static_cast<int>(qtArgv.size()) - 1;
    QApplication app(qtArgc, qtArgv.data());
    QApplication::setApplicationName(QStringLiteral("Dimwell"));
    // The program lives in the background; closing a window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    std::unique_ptr<dimwell::x11::X11Desktop> x11Desktop;
    std::unique_ptr<dimwell::x11::X11KeyboardLayout> x11Keyboard;
#ifdef DIMWELL_WITH_WAYLAND
    std::unique_ptr<dimwell::wayland::WaylandDesktop> waylandDesktop;
    if (onWayland && !(waylandDesktop = dimwell::wayland::WaylandDesktop::create())) {
        return 1;
    }
#endif
    if (!onWayland) {
        x11Desktop = std::make_unique<dimwell::x11::X11Desktop>();
        x11Keyboard = std::make_unique<dimwell::x11::X11KeyboardLayout>(dimwell::x11::xcbConnection(),
                                                                        &x11Desktop->log());
    }
#ifdef DIMWELL_WITH_WAYLAND
    const dimwell::DesktopPorts ports = waylandDesktop ? waylandDesktop->ports() : x11Desktop->ports();
    dimwell::x11::KeyboardLayout& keyboard =
        waylandDesktop ? waylandDesktop->keyboardLayout() : static_cast<dimwell::x11::KeyboardLayout&>(*x11Keyboard);
#else
    const dimwell::DesktopPorts ports = x11Desktop->ports();
    dimwell::x11::KeyboardLayout& keyboard = *x11Keyboard;
#endif
    const dimwell::Logger log(ports.log);
    if (instance.outcome() == SingleInstanceLock::Outcome::Unavailable) {
        log("cannot take the session lock: a second Dimwell would not be noticed");
    }
    const dimwell::x11::QuitOnSignal quit([](int) { QApplication::quit(); });

    dimwell::x11::TrayStatusBar statusBar(ports.log);
    dimwell::x11::TrayMenu statusMenu(keyboard);
    dimwell::x11::ProgramApplications applications(ports.log);
    dimwell::x11::XdgLoginItemsService loginItems(ports.log);
    dimwell::x11::QtSettingsWindows settingsWindows(
        {ports.defaults, ports.bundle, ports.displays, loginItems, ports.notifications, ports.log}, keyboard,
        onWayland ? dimwell::x11::WindowActivation() : dimwell::x11::activateThroughWindowManager);
    dimwell::AppDelegate delegate(ports, {statusBar, statusMenu, applications, loginItems, settingsWindows});
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&delegate] { delegate.applicationWillTerminate(); });

    dimwell::linuxdesktop::RemoteControl remote(
        ports.log, [&delegate](const std::string& action) { return dimwell::performRemoteAction(delegate, action); });

    // Said once at start on Wayland: where shortcuts are bound, and which modes this desktop lacks.
    std::string startNotice;
#ifdef DIMWELL_WITH_WAYLAND
    if (waylandDesktop) {
        const std::string lacks = waylandDesktop->missingModes();
        startNotice = dimwell::wayland::WaylandHotkeyService::advice() + (lacks.empty() ? "" : "\n\n" + lacks);
    }
#endif
    delegate.awakeFromNib();
    // Launching has finished once the event loop turns.
    QTimer::singleShot(0, &app, [&delegate, &log, &remote, startNotice] {
        delegate.applicationDidFinishLaunching();
        remote.publish();
        if (!startNotice.empty()) {
            delegate.tellUser("Dimwell", startNotice);
        }
        log("Dimwell started");
    });
    return QApplication::exec();
}
