#include "platform/x11/RunningPrograms.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace dimwell::x11 {

namespace {

struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
};

bool fileId(const std::string& path, FileId& id) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        return false;
    }
    id = {st.st_dev, st.st_ino};
    return true;
}

/// /proc/<pid> belongs to the process's user; its exe link, followed, is the
/// executed file itself (a copy or a script of the same name is another file).
bool runs(pid_t pid, const FileId& program, uid_t uid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    struct stat st {};
    if (stat(proc.c_str(), &st) != 0 || st.st_uid != uid) {
        return false;
    }
    FileId exe;
    return fileId(proc + "/exe", exe) && exe.device == program.device && exe.inode == program.inode;
}

} // namespace

std::vector<pid_t> processesRunning(const std::string& executablePath, uid_t uid) {
    std::vector<pid_t> found;
    FileId program;
    if (!fileId(executablePath, program)) {
        return found;
    }
    DIR* proc = opendir("/proc");
    if (!proc) {
        return found;
    }
    while (const dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == getpid()) {
            continue;
        }
        if (runs(static_cast<pid_t>(pid), program, uid)) {
            found.push_back(static_cast<pid_t>(pid));
        }
    }
    closedir(proc);
    std::sort(found.begin(), found.end());
    return found;
}

bool terminateIfRunning(pid_t pid, const std::string& executablePath, uid_t uid) {
    FileId program;
    if (pid <= 0 || !fileId(executablePath, program)) {
        return false;
    }
    // Holding a pidfd pins the process we check: if it ends and its id is
    // reused, the signal fails instead of reaching a stranger.
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0) {
        if (errno != ENOSYS) {
            return false;
        }
        return runs(pid, program, uid) && kill(pid, SIGTERM) == 0;
    }
    const bool sent = runs(pid, program, uid) && syscall(SYS_pidfd_send_signal, pidfd, SIGTERM, nullptr, 0) == 0;
    close(pidfd);
    return sent;
}

} // namespace dimwell::x11
