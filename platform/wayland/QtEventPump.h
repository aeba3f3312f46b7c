#pragma once
// Runs Dimwell's Wayland connection on Qt's event loop, on the main thread:
// queued events are dispatched and requests flushed before Qt waits, events are
// read when the socket is readable.

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
