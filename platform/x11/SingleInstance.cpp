#include "platform/x11/SingleInstance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dimwell::x11 {

namespace {

/// ":0.0" and "host:10" become file-name safe.
std::string displayTag(const std::string& display) {
    std::string tag;
    for (const char c : display) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
                           c == '-' || c == '_';
        tag += plain ? c : '_';
    }
    return tag.empty() ? "nodisplay" : tag;
}

} // namespace

std::string SingleInstanceLock::sessionLockPath(const std::string& display) {
    const std::string name = "dimwell-" + displayTag(display) + ".lock";
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
        return std::string(runtime) + "/" + name;
    }
    return "/tmp/" + std::to_string(getuid()) + "-" + name;
}

SingleInstanceLock::SingleInstanceLock(const std::string& path) {
    // O_NOFOLLOW and the owner check keep another user's planted file or link in
    // a shared folder from deciding whether Dimwell starts. O_CLOEXEC keeps the
    // programs Dimwell launches from holding the lock after it ends.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || st.st_uid != getuid() || !S_ISREG(st.st_mode)) {
        if (fd >= 0) {
            close(fd);
        }
        return;
    }
    int r;
    do {
        r = flock(fd, LOCK_EX | LOCK_NB);
    } while (r != 0 && errno == EINTR);
    if (r != 0) {
        outcome_ = errno == EWOULDBLOCK ? Outcome::HeldElsewhere : Outcome::Unavailable;
        close(fd);
        return;
    }
    fd_ = fd;
    outcome_ = Outcome::Acquired;
}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

} // namespace dimwell::x11
