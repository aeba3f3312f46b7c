#include "platform/linux/remote/RemoteControl.h"

#include "app/RemoteActions.h"
#include "platform/linux/remote/RemoteBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>

namespace dimwell::linuxdesktop {

RemoteControl::RemoteControl(LogSink& log, Perform perform) : log_(log), perform_(std::move(perform)) {}

RemoteControl::~RemoteControl() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (serviceRegistered_) {
        bus.unregisterService(QString::fromLatin1(remoteService));
    }
    if (objectRegistered_) {
        bus.unregisterObject(QString::fromLatin1(remotePath));
    }
}

bool RemoteControl::publish() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        log_("no session bus (%s): remote control is off", qUtf8Printable(bus.lastError().message()));
        return false;
    }
    // The object first, so that whoever sees the name can call it at once.
    objectRegistered_ = bus.registerVirtualObject(QString::fromLatin1(remotePath), this);
    if (!objectRegistered_) {
        log_("cannot serve %s on the session bus: remote control is off", remotePath);
        return false;
    }
    serviceRegistered_ = bus.registerService(QString::fromLatin1(remoteService));
    if (!serviceRegistered_) {
        log_("the bus name %s belongs to another program: remote control is off", remoteService);
        bus.unregisterObject(QString::fromLatin1(remotePath));
        objectRegistered_ = false;
        return false;
    }
    return true;
}

QString RemoteControl::introspect(const QString& path) const {
    if (path != QLatin1String(remotePath)) {
        return {};
    }
    QString xml = QStringLiteral("<interface name=\"%1\">\n").arg(QLatin1String(remoteInterface));
    for (const std::string& name : remoteActionNames()) {
        xml += QStringLiteral("  <method name=\"%1\"/>\n").arg(QString::fromStdString(name));
    }
    return xml + QStringLiteral("</interface>\n");
}

bool RemoteControl::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.type() != QDBusMessage::MethodCallMessage || message.path() != QLatin1String(remotePath)) {
        return false;
    }
    // Introspection and the other standard interfaces are the bus library's.
    if (!message.interface().isEmpty() && message.interface() != QLatin1String(remoteInterface)) {
        return false;
    }
    const std::string name = message.member().toStdString();
    if (!isRemoteAction(name)) {
        connection.send(message.createErrorReply(QDBusError::UnknownMethod,
                                                 QStringLiteral("Dimwell has no action %1").arg(message.member())));
        return true;
    }
    if (!message.arguments().isEmpty() || !message.signature().isEmpty()) {
        connection.send(message.createErrorReply(QDBusError::InvalidArgs,
                                                 QStringLiteral("%1 takes no arguments").arg(message.member())));
        return true;
    }
    log_("remote action %s", name.c_str());
    // Answered before it runs: an action may open a window that waits on the
    // user, and quitting must not leave the caller without an answer.
    connection.send(message.createReply());
    perform_(name);
    return true;
}

} // namespace dimwell::linuxdesktop
