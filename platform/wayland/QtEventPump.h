#pragma once
// Runs Dimwell's Wayland connection on Qt's event loop: requests are flushed
// and the read announced before Qt waits, events are read when the socket is
// readable and dispatched on the main thread.

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace dimwell::wayland {

class WaylandConnection;

class QtEventPump : public QObject {
public:
    explicit QtEventPump(WaylandConnection& connection, QObject* parent = nullptr);
    ~QtEventPump() override;

private:
    WaylandConnection& connection_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace dimwell::wayland
