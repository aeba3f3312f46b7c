#pragma once
// The session-bus object that Dimwell's KWin script talks to, under Dimwell's
// bus name at /com/Orvalen/Dimwell/KWin:
//   Windows(s json)   every window, whenever the list, the stacking, the active
//                     window or a window's frame changes;
//   Next(i x, i y)    the pointer's position; answered (when Dimwell has
//                     something to ask) with a command: "pointer", "report",
//                     "activate ID", or "" (call again).
// The object runs on a thread of its own, so that the main thread can wait a
// moment for the script's next call when it needs the pointer. A script that
// stops calling costs one bounded wait and one log line, and its window list is
// dropped; after that Dimwell does not wait for it again until it calls, and
// then asks it for a fresh list.

#include "common/Geometry.h"
#include "common/Log.h"

#include <QByteArray>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QThread;

namespace dimwell::wayland {

class KWinChannel {
public:
    static constexpr const char* kPath = "/com/Orvalen/Dimwell/KWin";
    static constexpr const char* kInterface = "com.Orvalen.Dimwell.KWin";

    /// `reported` runs on the main thread after each window report.
    KWinChannel(LogSink& log, std::function<void()> reported);
    ~KWinChannel();
    KWinChannel(const KWinChannel&) = delete;
    KWinChannel& operator=(const KWinChannel&) = delete;

    /// Serves the object on the session bus; false (after a log line) when it cannot.
    bool publish();

    /// The script's latest window report (JSON); empty before the first.
    QByteArray windows() const;
    /// Asks the script where the pointer is (layout points) and waits up to
    /// `timeout`; nothing when it does not answer.
    std::optional<Point> pointer(std::chrono::milliseconds timeout);
    /// Hands the script `command` at its next call.
    void send(const QString& command);
    /// Forgets the windows and the script's calls: the KWin that ran it is gone.
    void reset();

    struct State;

private:
    class Object;

    Logger log_;
    std::shared_ptr<State> state_;
    std::unique_ptr<QThread> thread_;
    std::unique_ptr<Object> object_;
    QTimer keepAlive_;
    bool registered_ = false;
};

} // namespace dimwell::wayland
