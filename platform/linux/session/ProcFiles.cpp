#include "platform/linux/session/ProcFiles.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dimwell::x11 {

std::optional<std::string> readSmallFile(const std::string& path, std::size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<std::string> text;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        // Files under /proc say they are empty: read until the end, not st_size.
        std::string data;
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0 || data.size() + std::size_t(n) > limit) {
                if (n == 0) {
                    text = std::move(data);
                }
                break;
            }
            data.append(chunk, std::size_t(n));
        }
    }
    ::close(fd);
    return text;
}

std::optional<std::string> processName(std::int32_t pid) {
    if (pid <= 0) {
        return std::nullopt;
    }
    std::optional<std::string> comm = readSmallFile("/proc/" + std::to_string(pid) + "/comm", 256);
    if (!comm) {
        return std::nullopt;
    }
    comm->erase(std::min(comm->find('\n'), comm->size()));
    return comm->empty() ? std::nullopt : comm;
}

} // namespace dimwell::x11
