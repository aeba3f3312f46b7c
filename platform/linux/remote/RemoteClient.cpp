#include "platform/linux/remote/RemoteClient.h"

#include "platform/linux/remote/RemoteBus.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>

#include <cstdio>

namespace dimwell::linuxdesktop {

namespace {

int fail(const QString& why) {
    std::fprintf(stderr, "Dimwell: %s\n", qUtf8Printable(why));
    return 1;
}

} // namespace

int sendRemoteAction(const std::string& action) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return fail(QStringLiteral("Dimwell is not running (no session bus: %1)").arg(bus.lastError().message()));
    }
    const QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(remoteService), QString::fromLatin1(remotePath),
                                       QString::fromLatin1(remoteInterface), QString::fromStdString(action));
    const QDBusMessage reply = bus.call(call, QDBus::Block, remoteCallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        return 0;
    }
    switch (QDBusError(reply).type()) {
    case QDBusError::ServiceUnknown:
        return fail(QStringLiteral("Dimwell is not running"));
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
        return fail(QStringLiteral("Dimwell did not answer within %1 s").arg(remoteCallTimeoutMs / 1000));
    default:
        return fail(QStringLiteral("Dimwell refused %1: %2")
                        .arg(QString::fromStdString(action), reply.errorMessage()));
    }
}

} // namespace dimwell::linuxdesktop
