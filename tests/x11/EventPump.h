#pragma once
// The toolkit side of backend tests: the application's xcb connection, and
// waiting for X events to arrive through the event loop.

#include "WindowTestSupport.h"
#include <QApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <chrono>

namespace dimwell::x11::test {

/// The test program's one application, shared with the other backend tests.
inline void ensureApplication() { dimwell::x11::testing::desktopApp(); }

inline xcb_connection_t* qtConnection() {
    ensureApplication();
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

inline xcb_window_t qtRoot() {
    // The test desktop has one X screen.
    return xcb_setup_roots_iterator(xcb_get_setup(qtConnection())).data->root;
}

template <class Done>
bool pumpUntil(Done done, std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
    return testing::pumpUntil(done, static_cast<int>(timeout.count()));
}
inline void pumpFor(std::chrono::milliseconds duration) { testing::pumpFor(static_cast<int>(duration.count())); }

using RecordingLog = testing::RecordingLog;

} // namespace dimwell::x11::test
