#include "platform/wayland/sway/SwayIpc.h"

#include <QJsonParseError>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <sys/un.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace dimwell::wayland {

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kMagic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr int kHeaderSize = sizeof(kMagic) + 2 * sizeof(std::uint32_t);
// A whole tree of a busy desktop is a few hundred kilobytes; more is not sway.
constexpr std::uint32_t kMaxPayload = 64u << 20;

struct Header {
    std::uint32_t length = 0;
    std::uint32_t type = 0;
};

std::optional<Header> readHeader(const char* bytes) {
    if (std::memcmp(bytes, kMagic, sizeof(kMagic)) != 0) {
        return std::nullopt;
    }
    Header h;
    std::memcpy(&h.length, bytes + sizeof(kMagic), sizeof(h.length));
    std::memcpy(&h.type, bytes + sizeof(kMagic) + sizeof(h.length), sizeof(h.type));
    if (h.length > kMaxPayload) {
        return std::nullopt;
    }
    return h;
}

/// Waits for `events` on `fd` until `deadline`; false on timeout or error.
bool waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return false;
        }
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left));
        if (n > 0) {
            return (p.revents & events) != 0 || (p.revents & POLLHUP) != 0;
        }
        if (n < 0 && errno != EINTR) {
            return false;
        }
    }
}

bool sendAll(int fd, const QByteArray& bytes, Clock::time_point deadline) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + sent, static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN && waitFor(fd, POLLOUT, deadline)) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

bool receiveAll(int fd, char* into, std::size_t size, Clock::time_point deadline) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::recv(fd, into + got, size - got, 0);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN && waitFor(fd, POLLIN, deadline)) {
            continue;
        } else {
            return false;   // closed, failed or out of time
        }
    }
    return true;
}

} // namespace

QByteArray swayFrame(std::uint32_t type, const QByteArray& payload) {
    QByteArray frame(kMagic, sizeof(kMagic));
    const auto length = static_cast<std::uint32_t>(payload.size());
    frame.append(reinterpret_cast<const char*>(&length), sizeof(length));
    frame.append(reinterpret_cast<const char*>(&type), sizeof(type));
    frame.append(payload);
    return frame;
}

std::string swaySocketFromEnvironment() {
    for (const char* name : {"SWAYSOCK", "I3SOCK"}) {
        if (const char* value = std::getenv(name); value && *value) {
            return value;
        }
    }
    return {};
}

SwaySocket::~SwaySocket() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

SwayIpc::SwayIpc(LogSink& log, std::string socketPath, std::chrono::milliseconds timeout)
    : log_(log), path_(socketPath.empty() ? swaySocketFromEnvironment() : std::move(socketPath)),
      timeout_(timeout) {
    if (path_.empty()) {
        log_("No sway IPC socket (SWAYSOCK is not set): the window list and tracking are unavailable");
    }
}

SwayIpc::~SwayIpc() = default;

std::unique_ptr<SwaySocket> SwayIpc::connectSocket() {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path_.size() >= sizeof(address.sun_path)) {
        return nullptr;
    }
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    auto socket = std::make_unique<SwaySocket>(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (socket->fd() < 0) {
        return nullptr;
    }
    if (::connect(socket->fd(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        if (errno != EINPROGRESS && errno != EAGAIN) {
            return nullptr;
        }
        int error = 0;
        socklen_t size = sizeof(error);
        if (!waitFor(socket->fd(), POLLOUT, Clock::now() + timeout_) ||
            ::getsockopt(socket->fd(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
            return nullptr;
        }
    }
    return socket;
}

std::optional<QJsonDocument> SwayIpc::exchange(SwaySocket& socket, std::uint32_t type, const QByteArray& payload) {
    const Clock::time_point deadline = Clock::now() + timeout_;
    char header[kHeaderSize];
    if (!sendAll(socket.fd(), swayFrame(type, payload), deadline) ||
        !receiveAll(socket.fd(), header, sizeof(header), deadline)) {
        failed("no answer in time");
        return std::nullopt;
    }
    const std::optional<Header> h = readHeader(header);
    if (!h || h->type != type) {
        failed("an answer that is not sway's");
        return std::nullopt;
    }
    QByteArray body(static_cast<qsizetype>(h->length), Qt::Uninitialized);
    if (!receiveAll(socket.fd(), body.data(), h->length, deadline)) {
        failed("an answer cut short");
        return std::nullopt;
    }
    QJsonParseError error{};
    QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError) {
        failed("an answer that is not JSON");
        return std::nullopt;
    }
    if (failing_) {
        log_("sway IPC at %s answers again", path_.c_str());
        failing_ = false;
    }
    return document;
}

std::optional<QJsonDocument> SwayIpc::request(SwayMessage type, const QByteArray& payload) {
    if (path_.empty()) {
        return std::nullopt;
    }
    if (!socket_) {
        socket_ = connectSocket();
        if (!socket_) {
            failed("cannot connect");
            return std::nullopt;
        }
    }
    // exchange() drops the connection on failure; the next request connects anew.
    return exchange(*socket_, static_cast<std::uint32_t>(type), payload);
}

std::unique_ptr<SwaySocket> SwayIpc::subscribe(const QByteArray& events) {
    if (path_.empty()) {
        return nullptr;
    }
    std::unique_ptr<SwaySocket> socket = connectSocket();
    if (!socket) {
        failed("cannot connect");
        return nullptr;
    }
    const std::optional<QJsonDocument> reply =
        exchange(*socket, static_cast<std::uint32_t>(SwayMessage::Subscribe), events);
    if (!reply || !reply->object().value(QStringLiteral("success")).toBool()) {
        if (reply) {
            log_("sway refused the subscription to %s", events.constData());
        }
        return nullptr;
    }
    return socket;
}

void SwayIpc::failed(const char* what) {
    socket_.reset();
    if (!failing_) {
        log_("sway IPC at %s: %s; windows read as none until it answers", path_.c_str(), what);
        failing_ = true;
    }
}

SwayEvents::SwayEvents(std::unique_ptr<SwaySocket> socket, Callback callback, std::function<void()> ended)
    : socket_(std::move(socket)), callback_(std::move(callback)), ended_(std::move(ended)) {
    notifier_ = std::make_unique<QSocketNotifier>(socket_->fd(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { readable(); });
}

SwayEvents::~SwayEvents() { *alive_ = false; }

void SwayEvents::readable() {
    bool open = true;
    char chunk[16384];
    for (;;) {
        const ssize_t n = ::recv(socket_->fd(), chunk, sizeof(chunk), 0);
        if (n > 0) {
            buffer_.append(chunk, n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        open = n < 0 && errno == EAGAIN;
        break;
    }
    const std::shared_ptr<bool> alive = alive_;
    while (buffer_.size() >= kHeaderSize) {
        const std::optional<Header> h = readHeader(buffer_.constData());
        if (!h) {
            open = false;   // out of step with the stream: nothing after this can be read
            break;
        }
        if (buffer_.size() < kHeaderSize + static_cast<qsizetype>(h->length)) {
            break;
        }
        const QJsonObject event = QJsonDocument::fromJson(buffer_.mid(kHeaderSize, h->length)).object();
        buffer_.remove(0, kHeaderSize + h->length);
        callback_(h->type & 0x7fffffffu, event);
        if (!*alive) {
            return;   // the callback ended the subscription
        }
    }
    if (!open) {
        notifier_->setEnabled(false);
        if (ended_) {
            ended_();
        }
    }
}

} // namespace dimwell::wayland
