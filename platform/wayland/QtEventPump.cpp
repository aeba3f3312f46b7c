#include "platform/wayland/QtEventPump.h"

#include "platform/wayland/WaylandConnection.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <QThread>

namespace dimwell::wayland {

QtEventPump::QtEventPump(WaylandConnection& connection, QObject* parent)
    : QObject(parent), connection_(connection),
      notifier_(std::make_unique<QSocketNotifier>(connection.fd(), QSocketNotifier::Read)) {
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        connection_.readAndDispatch();
        // A closed connection stays readable; watching it further would only spin.
        notifier_->setEnabled(!connection_.failed());
    });
    // Before every wait: nothing left queued, and what the handlers asked is sent.
    // The thread's dispatcher exists once the application object does.
    if (QAbstractEventDispatcher* dispatcher = QThread::currentThread()->eventDispatcher()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { connection_.dispatchPending(); });
    } else {
        Logger(connection_.log())
            .line("Wayland: the event pump was made before the application object; masks would show late");
    }
}

QtEventPump::~QtEventPump() = default;

} // namespace dimwell::wayland
