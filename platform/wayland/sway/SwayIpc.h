#pragma once
// sway's IPC socket (i3's protocol): "i3-ipc", then payload length and message
// type as native 32-bit integers, then a JSON payload. Requests go out on one
// connection and wait for their reply with a deadline; window events come on a
// second connection of their own, read on Qt's event loop. A connection that
// failed or timed out is dropped and made anew at the next request, so a
// restarted sway is found again.

#include "common/Log.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QSocketNotifier;

namespace dimwell::wayland {

enum class SwayMessage : std::uint32_t { RunCommand = 0, Subscribe = 2, GetTree = 4, GetSeats = 101 };

/// The frame of one message, header and payload.
QByteArray swayFrame(std::uint32_t type, const QByteArray& payload);

/// The socket named by $SWAYSOCK (else $I3SOCK); empty when neither is set.
std::string swaySocketFromEnvironment();

/// An open socket; closed when dropped.
class SwaySocket {
public:
    explicit SwaySocket(int fd) : fd_(fd) {}
    ~SwaySocket();
    SwaySocket(const SwaySocket&) = delete;
    SwaySocket& operator=(const SwaySocket&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

class SwayIpc {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{1000};

    /// `socketPath` empty: the one the environment names.
    explicit SwayIpc(LogSink& log, std::string socketPath = {},
                     std::chrono::milliseconds timeout = kDefaultTimeout);
    ~SwayIpc();
    SwayIpc(const SwayIpc&) = delete;
    SwayIpc& operator=(const SwayIpc&) = delete;

    /// Whether there is a sway to ask at all (a socket path is known).
    bool available() const { return !path_.empty(); }
    const std::string& socketPath() const { return path_; }
    std::chrono::milliseconds timeout() const { return timeout_; }
    const Logger& log() const { return log_; }

    /// The reply to one request; nothing (and a log line, once per outage) when sway
    /// cannot be reached, does not answer in time, or answers garbage.
    std::optional<QJsonDocument> request(SwayMessage type, const QByteArray& payload = {});

    /// A connection subscribed to `events` (a JSON list such as ["window"]); nothing
    /// when the subscription fails. Used by SwayEvents.
    std::unique_ptr<SwaySocket> subscribe(const QByteArray& events);

private:
    std::unique_ptr<SwaySocket> connectSocket();
    std::optional<QJsonDocument> exchange(SwaySocket& socket, std::uint32_t type, const QByteArray& payload);
    void failed(const char* what);

    Logger log_;
    std::string path_;
    std::chrono::milliseconds timeout_;
    std::unique_ptr<SwaySocket> socket_;
    bool failing_ = false;   ///< the last request failed; said once until one succeeds
};

/// Events of a subscription, delivered on Qt's event loop as (event type without
/// the high bit, payload). The stream ending (sway gone) is reported once as `ended`.
class SwayEvents {
public:
    using Callback = std::function<void(std::uint32_t type, const QJsonObject& event)>;

    SwayEvents(std::unique_ptr<SwaySocket> socket, Callback callback, std::function<void()> ended);
    ~SwayEvents();
    SwayEvents(const SwayEvents&) = delete;
    SwayEvents& operator=(const SwayEvents&) = delete;

private:
    void readable();

    std::unique_ptr<SwaySocket> socket_;
    std::unique_ptr<QSocketNotifier> notifier_;
    Callback callback_;
    std::function<void()> ended_;
    QByteArray buffer_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace dimwell::wayland
