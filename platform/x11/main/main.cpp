// Dimwell: dims every display except one clear rectangle.

#include "app/Preferences.h"
#include "common/Log.h"
#include "overlay/AppController.h"
#include "platform/x11/QuitOnSignal.h"
#include "platform/x11/X11Desktop.h"

#include <QApplication>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

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
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display || !displayReachable()) {
        std::fprintf(stderr, "Dimwell: cannot open the X display %s\n", display && *display ? display : "(DISPLAY is not set)");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dimwell"));
    // The program lives in the background; closing a window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    dimwell::x11::X11Desktop desktop;
    const dimwell::Logger log(desktop.log());
    const dimwell::x11::QuitOnSignal quit([](int) { QApplication::quit(); });

    const dimwell::DesktopPorts ports = desktop.ports();
    dimwell::loadDefaults(ports.defaults, ports.bundle, &log);
    auto controller = std::make_unique<dimwell::AppController>(ports);
    controller->startHotkeys();
    log("Dimwell started");

    const int status = QApplication::exec();
    controller.reset();
    return status;
}
