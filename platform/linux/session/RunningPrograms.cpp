#include "platform/linux/session/RunningPrograms.h"

#include "common/ProgramIdentity.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace dimwell::x11 {

namespace {

// Note segments are small; anything larger is not an executable we made.
constexpr std::size_t kMaxNoteSegment = 64 * 1024;
constexpr int kMaxProgramHeaders = 256;

bool readAt(int fd, void* buffer, std::size_t size, off_t offset) {
    return pread(fd, buffer, size, offset) == static_cast<ssize_t>(size);
}

std::size_t padded(std::size_t size, std::size_t alignment) { return (size + alignment - 1) / alignment * alignment; }

/// The identity among the notes of one PT_NOTE segment; empty when none.
std::string identityInNotes(const std::string& notes, std::size_t alignment) {
    std::size_t at = 0;
    while (at + sizeof(ElfW(Nhdr)) <= notes.size()) {
        ElfW(Nhdr) header;
        std::memcpy(&header, notes.data() + at, sizeof header);
        if (header.n_namesz > notes.size() || header.n_descsz > notes.size()) {
            return {};
        }
        // Offsets within the segment, which starts aligned: the description and the
        // next note begin at the next multiple of the alignment.
        const std::size_t nameAt = at + sizeof header;
        const std::size_t descriptionAt = padded(nameAt + header.n_namesz, alignment);
        const std::size_t next = padded(descriptionAt + header.n_descsz, alignment);
        if (descriptionAt + header.n_descsz > notes.size()) {
            return {};
        }
        if (header.n_type == kIdentityNoteType && header.n_namesz == sizeof kIdentityNoteOwner &&
            std::memcmp(notes.data() + nameAt, kIdentityNoteOwner, sizeof kIdentityNoteOwner) == 0) {
            std::string identity = notes.substr(descriptionAt, header.n_descsz);
            identity.resize(std::strlen(identity.c_str()));   // the text ends at its NUL
            return identity;
        }
        at = next;
    }
    return {};
}

/// The user owning /proc/<pid>, the process's user; false when it is gone.
bool processUser(pid_t pid, uid_t& uid) {
    struct stat st {};
    if (stat(("/proc/" + std::to_string(pid)).c_str(), &st) != 0) {
        return false;
    }
    uid = st.st_uid;
    return true;
}

/// Whether `pid` is a process of `uid` whose executable declares `identity`. The
/// exe link opens the very file the process runs, even one deleted or replaced since.
bool declares(pid_t pid, const std::string& identity, uid_t uid) {
    uid_t owner = 0;
    if (!processUser(pid, owner) || owner != uid) {
        return false;
    }
    const int fd = open(("/proc/" + std::to_string(pid) + "/exe").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool same = declaredIdentity(fd) == identity;
    close(fd);
    return same;
}

} // namespace

std::string declaredIdentity(int fd) {
    ElfW(Ehdr) header;
    if (!readAt(fd, &header, sizeof header, 0) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32) ||
        header.e_phentsize != sizeof(ElfW(Phdr)) || header.e_phnum > kMaxProgramHeaders) {
        return {};
    }
    for (int i = 0; i < header.e_phnum; ++i) {
        ElfW(Phdr) segment;
        if (!readAt(fd, &segment, sizeof segment, static_cast<off_t>(header.e_phoff + i * sizeof segment))) {
            return {};
        }
        if (segment.p_type != PT_NOTE || segment.p_filesz > kMaxNoteSegment) {
            continue;
        }
        std::string notes(segment.p_filesz, '\0');
        if (!readAt(fd, notes.data(), notes.size(), static_cast<off_t>(segment.p_offset))) {
            continue;
        }
        std::string identity = identityInNotes(notes, segment.p_align == 8 ? 8 : 4);
        if (!identity.empty()) {
            return identity;
        }
    }
    return {};
}

std::vector<pid_t> processesDeclaring(const std::string& identity, uid_t uid) {
    std::vector<pid_t> found;
    if (identity.empty()) {
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
        if (declares(static_cast<pid_t>(pid), identity, uid)) {
            found.push_back(static_cast<pid_t>(pid));
        }
    }
    closedir(proc);
    std::sort(found.begin(), found.end());
    return found;
}

bool terminateIfDeclaring(pid_t pid, const std::string& identity, uid_t uid) {
    if (pid <= 0 || identity.empty()) {
        return false;
    }
    // Holding a pidfd pins the process we check: if it ends and its id is
    // reused, the signal fails instead of reaching a stranger.
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0) {
        if (errno != ENOSYS) {
            return false;
        }
        return declares(pid, identity, uid) && kill(pid, SIGTERM) == 0;
    }
    const bool sent = declares(pid, identity, uid) && syscall(SYS_pidfd_send_signal, pidfd, SIGTERM, nullptr, 0) == 0;
    close(pidfd);
    return sent;
}

} // namespace dimwell::x11
