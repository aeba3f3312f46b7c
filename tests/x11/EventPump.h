#pragma once
// The toolkit side of backend tests: the application's xcb connection, and
// waiting for X events to arrive through the event loop.

#include "WindowTestSupport.h"
#include "common/Log.h"

#include <QApplication>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <chrono>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

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

/// Runs the event loop until `done` holds or `timeout` passes; true when it held.
template <class Done>
bool pumpUntil(Done done, std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

/// Runs the event loop for a while, to show that something does not happen.
inline void pumpFor(std::chrono::milliseconds duration) {
    pumpUntil([] { return false; }, duration);
}

class RecordingLog : public LogSink {
public:
    void write(std::string_view line) override { lines.emplace_back(line); }
    bool contains(std::string_view text) const {
        for (const std::string& l : lines) {
            if (l.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    std::vector<std::string> lines;
};

} // namespace dimwell::x11::test
