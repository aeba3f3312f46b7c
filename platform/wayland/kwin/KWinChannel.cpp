#include "platform/wayland/kwin/KWinChannel.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace dimwell::wayland {

namespace {
// The bus library gives up on a call after 25 s; the script's call is answered
// well before, so that its chain of calls never breaks on a quiet desktop.
constexpr std::chrono::seconds kIdleAnswer{10};
} // namespace

struct KWinChannel::State {
    std::mutex mutex;
    std::condition_variable called;
    std::optional<QDBusMessage> waiting;   ///< a Next not answered yet
    std::chrono::steady_clock::time_point waitingSince;
    std::deque<QString> queue;
    std::uint64_t calls = 0;                        ///< Next calls so far
    std::optional<std::uint64_t> pointerAnsweredAt; ///< the call that was asked for the pointer
    Point pointer;
    QByteArray windows;
    bool silent = false;   ///< the script let a wait run out, and has not called since

    /// Answers the waiting call with the next command, if both exist. Mutex held.
    void deliver() {
        if (!waiting || queue.empty()) {
            return;
        }
        const QString command = queue.front();
        queue.pop_front();
        if (command == QLatin1String("pointer")) {
            pointerAnsweredAt = calls;
        }
        QDBusConnection::sessionBus().send(waiting->createReply(command));
        waiting.reset();
    }
};

class KWinChannel::Object final : public QDBusVirtualObject {
public:
    Object(std::shared_ptr<State> state, QObject* mainThreadContext, std::function<void()> reported)
        : state_(std::move(state)), context_(mainThreadContext), reported_(std::move(reported)) {}

    QString introspect(const QString&) const override {
        return QStringLiteral("<interface name=\"%1\">\n"
                              "  <method name=\"Windows\"><arg type=\"s\" direction=\"in\"/></method>\n"
                              "  <method name=\"Next\"><arg type=\"d\" direction=\"in\"/>"
                              "<arg type=\"d\" direction=\"in\"/><arg type=\"s\" direction=\"out\"/></method>\n"
                              "</interface>\n")
            .arg(QLatin1String(kInterface));
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.type() != QDBusMessage::MethodCallMessage || message.path() != QLatin1String(kPath) ||
            (!message.interface().isEmpty() && message.interface() != QLatin1String(kInterface))) {
            return false;
        }
        const QList<QVariant> args = message.arguments();
        if (message.member() == QLatin1String("Next") && args.size() == 2) {
            const std::lock_guard<std::mutex> lock(state_->mutex);
            ++state_->calls;
            state_->pointer = {args[0].toDouble(), args[1].toDouble()};
            if (state_->silent) {
                // Its windows were forgotten when it fell silent.
                state_->silent = false;
                state_->queue.emplace_back(QStringLiteral("report"));
            }
            if (state_->waiting) {
                // Only one call is ever outstanding; an older one was lost on the way.
                connection.send(state_->waiting->createReply(QString()));
            }
            state_->waiting = message;
            state_->waitingSince = std::chrono::steady_clock::now();
            state_->deliver();
            state_->called.notify_all();
            return true;
        }
        if (message.member() == QLatin1String("Windows") && args.size() == 1) {
            {
                const std::lock_guard<std::mutex> lock(state_->mutex);
                state_->windows = args[0].toString().toUtf8();
            }
            connection.send(message.createReply());
            QMetaObject::invokeMethod(context_, reported_, Qt::QueuedConnection);
            return true;
        }
        connection.send(message.createErrorReply(QDBusError::UnknownMethod,
                                                 QStringLiteral("no method %1 here").arg(message.member())));
        return true;
    }

private:
    std::shared_ptr<State> state_;
    QObject* context_;
    std::function<void()> reported_;
};

KWinChannel::KWinChannel(LogSink& log, std::function<void()> reported)
    : log_(log), state_(std::make_shared<State>()), thread_(std::make_unique<QThread>()) {
    object_ = std::make_unique<Object>(state_, &keepAlive_, std::move(reported));
    object_->moveToThread(thread_.get());
    thread_->start();
    QObject::connect(&keepAlive_, &QTimer::timeout, &keepAlive_, [state = state_] {
        const std::lock_guard<std::mutex> lock(state->mutex);
        if (state->waiting && std::chrono::steady_clock::now() - state->waitingSince >= kIdleAnswer) {
            state->queue.emplace_back();
            state->deliver();
        }
    });
    keepAlive_.start(std::chrono::milliseconds(kIdleAnswer).count() / 2);
}

KWinChannel::~KWinChannel() {
    if (registered_) {
        QDBusConnection::sessionBus().unregisterObject(QString::fromLatin1(kPath));
    }
    thread_->quit();
    thread_->wait();
}

bool KWinChannel::publish() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    registered_ = bus.isConnected() && bus.registerVirtualObject(QString::fromLatin1(kPath), object_.get());
    if (!registered_) {
        log_("KWin: cannot serve %s on the session bus: window, view and pattern modes find no windows", kPath);
    }
    return registered_;
}

QByteArray KWinChannel::windows() const {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->windows;
}

void KWinChannel::send(const QString& command) {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    state_->queue.push_back(command);
    state_->deliver();
}

void KWinChannel::reset() {
    const std::lock_guard<std::mutex> lock(state_->mutex);
    state_->windows.clear();
    state_->waiting.reset();
    state_->queue.clear();
    state_->calls = 0;
}

std::optional<Point> KWinChannel::pointer(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    if (state_->calls == 0 || state_->silent) {
        return std::nullopt;
    }
    state_->pointerAnsweredAt.reset();
    state_->queue.emplace_back(QStringLiteral("pointer"));
    state_->deliver();
    const bool answered = state_->called.wait_for(lock, timeout, [this] {
        return state_->pointerAnsweredAt && state_->calls > *state_->pointerAnsweredAt;
    });
    if (!answered) {
        // A script that does not answer may not report either: its list is stale.
        std::erase(state_->queue, QStringLiteral("pointer"));
        state_->silent = true;
        state_->windows.clear();
        lock.unlock();
        log_("KWin: the window script does not answer: no windows, and the pointer from the masks, until it does");
        return std::nullopt;
    }
    return state_->pointer;
}

} // namespace dimwell::wayland
