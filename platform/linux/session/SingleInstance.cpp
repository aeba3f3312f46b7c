#include "platform/linux/session/SingleInstance.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace dimwell::x11 {

namespace {

bool allDigits(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

/// The address of abstract name `name`; its length, 0 when the name does not fit.
socklen_t abstractAddress(const std::string& name, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (name.empty() || name.size() + 1 > sizeof address.sun_path) {
        return 0;
    }
    std::memcpy(address.sun_path + 1, name.data(), name.size());   // leading NUL: abstract
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

enum class Holder { Ours, Foreign, NoAnswer };

/// Whose socket listens under `address`. The connection waits in the holder's
/// queue unanswered and is closed at once.
Holder askHolder(const sockaddr_un& address, socklen_t length) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return Holder::NoAnswer;
    }
    Holder holder = Holder::NoAnswer;
    ucred peer{};
    socklen_t peerLength = sizeof peer;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
        getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &peerLength) == 0) {
        holder = peer.uid == getuid() ? Holder::Ours : Holder::Foreign;
    }
    close(fd);
    return holder;
}

} // namespace

std::string SingleInstanceLock::normalisedDisplay(const std::string& display) {
    constexpr const char* kSocketFolder = "/tmp/.X11-unix/X";
    if (display.rfind(kSocketFolder, 0) == 0 && allDigits(display.substr(std::strlen(kSocketFolder)))) {
        return ":" + display.substr(std::strlen(kSocketFolder));
    }
    const auto colon = display.rfind(':');
    if (colon == std::string::npos) {
        return display;
    }
    std::string host = display.substr(0, colon);
    std::string number = display.substr(colon + 1);
    if (const auto dot = number.find('.'); dot != std::string::npos && allDigits(number.substr(dot + 1))) {
        number.resize(dot);   // the screen: the same server and session
    }
    if (const auto slash = host.find('/'); slash != std::string::npos) {
        const std::string protocol = host.substr(0, slash);
        host = host.substr(slash + 1);
        if (protocol == "unix" && host.empty()) {
            host = "unix";
        }
    }
    if (!allDigits(number)) {
        return display;
    }
    // "unix" is the local socket, as is no host at all.
    return (host.empty() || host == "unix" ? "" : host) + ":" + number;
}

std::string SingleInstanceLock::sessionLockPath(const std::string& display) {
    return "dimwell-" + std::to_string(getuid()) + "-" + normalisedDisplay(display);
}

SingleInstanceLock::SingleInstanceLock(const std::string& name) {
    sockaddr_un address{};
    const socklen_t length = abstractAddress(name, address);
    if (length == 0) {
        return;
    }
    // A holder that has bound the name but does not listen yet, or is ending,
    // cannot answer: a few short waits see it settle either way.
    for (int attempt = 0; attempt < 20; ++attempt) {
        // SOCK_CLOEXEC keeps the programs Dimwell launches from holding the name after it ends.
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return;
        }
        if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
            // Listening lets a later instance ask who holds the name.
            if (listen(fd, SOMAXCONN) != 0) {
                close(fd);
                return;
            }
            fd_ = fd;
            outcome_ = Outcome::Acquired;
            return;
        }
        const int error = errno;
        close(fd);
        if (error != EADDRINUSE) {
            return;
        }
        switch (askHolder(address, length)) {
        case Holder::Ours: outcome_ = Outcome::HeldElsewhere; return;
        case Holder::Foreign: return;
        case Holder::NoAnswer: usleep(10'000); break;
        }
    }
}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

} // namespace dimwell::x11
