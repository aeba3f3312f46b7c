#include "platform/wayland/kwin/KWinScript.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace dimwell::wayland {

namespace {

constexpr const char* kKWin = "org.kde.KWin";

/// One call, answered within the timeout; an error reply (with its message) otherwise.
QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                  const QList<QVariant>& args = {}, const QString& service = QString::fromLatin1(kKWin)) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(args);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, static_cast<int>(KWinScript::kTimeout.count()));
}

QDBusMessage scripting(const QString& method, const QList<QVariant>& args) {
    return call(QStringLiteral("/Scripting"), QStringLiteral("org.kde.kwin.Scripting"), method, args);
}

bool failed(const QDBusMessage& reply) { return reply.type() != QDBusMessage::ReplyMessage; }

} // namespace

bool KWinScript::kwinRunning() {
    const QDBusMessage reply = call(QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
                                    QStringLiteral("NameHasOwner"), {QString::fromLatin1(kKWin)},
                                    QStringLiteral("org.freedesktop.DBus"));
    return !failed(reply) && !reply.arguments().isEmpty() && reply.arguments().constFirst().toBool();
}

std::unique_ptr<KWinScript> KWinScript::load(LogSink& log, const QString& path) {
    const Logger logger(log);
    const QString plugin = QString::fromLatin1(kPluginName);
    // A copy left by an earlier Dimwell; its calls would go to us twice over.
    scripting(QStringLiteral("unloadScript"), {plugin});
    const QDBusMessage loaded = scripting(QStringLiteral("loadScript"), {path, plugin});
    const int id = failed(loaded) || loaded.arguments().isEmpty() ? -1 : loaded.arguments().constFirst().toInt();
    if (id < 0) {
        logger("KWin: cannot load the window script %s (%s): window, view and pattern modes find no windows",
               qUtf8Printable(path), failed(loaded) ? qUtf8Printable(loaded.errorMessage()) : "refused");
        return nullptr;
    }
    auto script = std::unique_ptr<KWinScript>(new KWinScript(log));
    // KWin 5 serves the loaded script as /N, KWin 6 as /Scripting/ScriptN.
    const QString interface = QStringLiteral("org.kde.kwin.Script");
    for (const QString& object : {QStringLiteral("/%1").arg(id), QStringLiteral("/Scripting/Script%1").arg(id)}) {
        if (!failed(call(object, interface, QStringLiteral("run")))) {
            return script;
        }
    }
    logger("KWin: the window script did not start: window, view and pattern modes find no windows");
    return nullptr;   // unloads what was loaded
}

KWinScript::~KWinScript() {
    if (abandoned_) {
        return;
    }
    const QDBusMessage reply = scripting(QStringLiteral("unloadScript"), {QString::fromLatin1(kPluginName)});
    if (failed(reply)) {
        log_("KWin: cannot unload the window script (%s)", qUtf8Printable(reply.errorMessage()));
    }
}

} // namespace dimwell::wayland
