#include "platform/wayland/QtEventPump.h"

#include "platform/wayland/WaylandConnection.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QThread>

namespace dimwell::wayland {

QtEventPump::QtEventPump(WaylandConnection& connection, QObject* parent)
    : QObject(parent), connection_(connection),
      notifier_(std::make_unique<QSocketNotifier>(connection.fd(), QSocketNotifier::Read)) {
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { connection_.readAndDispatch(true); });
    QAbstractEventDispatcher* dispatcher = QThread::currentThread()->eventDispatcher();
    // Before every wait: dispatch what is queued, announce the read, send what the handlers asked.
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { connection_.prepareRead(); });
    // After it: give the announced read back unless the socket notifier is about to take it.
    connect(dispatcher, &QAbstractEventDispatcher::awake, this, [this] { connection_.readAndDispatch(false); });
}

QtEventPump::~QtEventPump() = default;

} // namespace dimwell::wayland
