#pragma once
// SIGTERM, SIGINT and SIGHUP end the event loop cleanly: the handler only writes a byte
// to a pipe (all a signal handler may safely do), and the loop reads it.

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace dimwell::x11 {

class QuitOnSignal : public QObject {
public:
    /// Installs the handlers; `onQuit` runs on the main thread.
    explicit QuitOnSignal(std::function<void(int signal)> onQuit);
    ~QuitOnSignal() override;
    QuitOnSignal(const QuitOnSignal&) = delete;
    QuitOnSignal& operator=(const QuitOnSignal&) = delete;

private:
    std::function<void(int)> onQuit_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace dimwell::x11
