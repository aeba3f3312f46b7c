// Drives the sway window list and tracker for test_sway_windows.py, one command a
// line on standard input:
//   list         "window ID PID X Y W H" front to back, then "end"
//   front ID     focuses the window: "ok" or "refused"
//   track ID     follows its moves and resizes: "tracking" or "refused"; then
//                "moved|resized ID X Y W H T" (T: CLOCK_MONOTONIC seconds) as they come
//   state        "tracked N every MS" (MS "none" while idle)
// Log lines come out as "log TEXT". The socket is argv[1], else $SWAYSOCK.

#include "platform/wayland/sway/SwayWindowServer.h"
#include "platform/wayland/sway/SwayWindowTracker.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <iostream>
#include <sstream>

namespace {

using namespace dimwell;
using namespace dimwell::wayland;

class StdoutLog final : public LogSink {
public:
    void write(std::string_view line) override {
        std::printf("log %.*s\n", static_cast<int>(line.size()), line.data());
        std::fflush(stdout);
    }
};

void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string rect(const Rect& r) {
    return formatString("%g %g %g %g", r.x, r.y, r.width, r.height);
}

double monotonicSeconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    StdoutLog log;
    auto ipc = std::make_shared<SwayIpc>(log, argc > 1 ? argv[1] : "");
    SwayWindowServer windows(ipc);
    SwayWindowTracker tracker(ipc, [](const AXElementRef& element, const std::string& notification) {
        const auto& w = static_cast<const SwayWindowElement&>(*element);
        say(formatString("%s %u %s %.6f", notification == kAXWindowResizedNotification ? "resized" : "moved", w.id,
                         rect(w.bounds.value_or(Rect{})).c_str(), monotonicSeconds()));
    });
    std::vector<AXElementRef> elements;

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        std::string line;
        if (!std::getline(std::cin, line)) {
            QCoreApplication::quit();
            return;
        }
        std::istringstream words(line);
        std::string command;
        std::uint32_t id = 0;
        words >> command >> id;
        if (command == "list") {
            for (const WindowInfo& w : windows.onScreenWindows()) {
                say(formatString("window %u %d %s", w.windowNumber, w.ownerPid, rect(w.bounds).c_str()));
            }
            say("end");
        } else if (command == "front") {
            say(windows.bringToFront(id) ? "ok" : "refused");
        } else if (command == "track") {
            elements.push_back(std::make_shared<SwayWindowElement>(id, 0));
            const bool moves = tracker.addNotification(elements.back(), kAXWindowMovedNotification);
            const bool resizes = tracker.addNotification(elements.back(), kAXWindowResizedNotification);
            say(moves && resizes ? "tracking" : "refused");
        } else if (command == "state") {
            const std::optional<int> every = tracker.pollingInterval();
            say(formatString("tracked %zu every %s", tracker.trackedWindows(),
                             every ? std::to_string(*every).c_str() : "none"));
        } else {
            say("unknown command");
        }
    });
    return QCoreApplication::exec();
}
