#include "platform/linux/prefs/PlistDefaults.h"

#include "platform/linux/prefs/PlistValue.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dimwell::x11 {

namespace {

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
        return pw->pw_dir;
    }
    return "/tmp";
}

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

/// Creates `dir` and its missing parents, private to the user.
bool makeDirectories(const std::string& dir) {
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode);
    }
    const std::string parent = parentOf(dir);
    if (parent != dir && !makeDirectories(parent)) {
        return false;
    }
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// A link to a regular file is saved through to that file; anything else is
/// the path itself.
std::string resolvedTarget(const std::string& path) {
    std::string target = path;
    if (char* resolved = realpath(path.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    return target;
}

/// Saves write "<file>.tmp-<pid>-XXXXXX" beside the file, so that a later start
/// can tell its own unfinished saves, and their writer, from anything else.
std::string temporaryPrefix(const std::string& target) { return baseName(target) + ".tmp-"; }

/// The writer's process id when `name` is one of our temporaries of `prefix`.
std::optional<pid_t> temporaryWriter(const std::string& name, const std::string& prefix) {
    if (name.rfind(prefix, 0) != 0) {
        return std::nullopt;
    }
    const std::string rest = name.substr(prefix.size());
    const auto dash = rest.find('-');
    if (dash == std::string::npos || dash == 0 || dash > 10 || rest.size() != dash + 7) {
        return std::nullopt;
    }
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const auto isAlnum = [&](char c) { return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!std::all_of(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(dash), isDigit) ||
        !std::all_of(rest.begin() + static_cast<std::ptrdiff_t>(dash) + 1, rest.end(), isAlnum)) {
        return std::nullopt;
    }
    const long long pid = std::stoll(rest.substr(0, dash));
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max()) {
        return std::nullopt;
    }
    return static_cast<pid_t>(pid);
}

struct DirClose {
    void operator()(DIR* d) const { closedir(d); }
};

std::string timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

} // namespace

PlistDefaults::PlistDefaults(std::string path, LogSink& log) : path_(std::move(path)), log_(log) {
    load();
    removeStaleTemporaries();
}

std::string PlistDefaults::defaultPath() {
    std::string base;
    // XDG base directories must be absolute; a relative value is ignored.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        base = homeDirectory() + "/.config";
    }
    return base + "/Dimwell/com.Orvalen.Dimwell.plist";
}

void PlistDefaults::load() {
    const PlistReadResult read =
        readPlistFile(path_, [this](const std::string& what) { log_("preferences: %s", what.c_str()); });
    switch (read.status) {
    case PlistReadStatus::Missing: return;
    case PlistReadStatus::NotAFile:
        // Not ours to move or replace: nothing is saved there while it stays.
        log_("preferences path %s is not a regular file: it is left alone, and the preferences live in memory only",
             path_.c_str());
        lastWriteFailed_ = true;   // said here once, not again at the first save
        return;
    case PlistReadStatus::Unreadable:
        // Not damaged, only out of reach (permissions, a failing disk): the
        // user's file stays exactly as it is.
        mayWrite_ = false;
        log_("preferences file %s cannot be read (%s): it is kept as it is, Dimwell runs on default preferences "
             "and saves nothing over it",
             path_.c_str(), read.detail.c_str());
        return;
    case PlistReadStatus::Malformed: setAside(read.detail); return;
    case PlistReadStatus::Ok: break;
    }
    const Dictionary* dict = read.value->asDictionary();
    if (!dict) {
        setAside("it holds no dictionary");
        return;
    }
    values_ = *dict;
    unreadable_.insert(read.unreadableKeys.begin(), read.unreadableKeys.end());
}

void PlistDefaults::removeStaleTemporaries() {
    // A save killed half-way leaves its temporary behind. One whose writer is
    // gone, or that no save could still be busy with, is ours to remove.
    constexpr std::time_t kBusyForAtMost = 60;
    const std::string target = resolvedTarget(path_);
    const std::string dir = parentOf(target);
    const std::string prefix = temporaryPrefix(target);
    const std::unique_ptr<DIR, DirClose> folder(opendir(dir.c_str()));
    if (!folder) {
        return;
    }
    const std::time_t now = std::time(nullptr);
    int removed = 0;
    while (const dirent* entry = readdir(folder.get())) {
        const std::string name = entry->d_name;
        const std::optional<pid_t> writer = temporaryWriter(name, prefix);
        if (!writer) {
            continue;
        }
        const std::string file = dir + "/" + name;
        struct stat st {};
        if (lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
            continue;
        }
        // Our own id here belongs to an earlier process: this one has saved nothing yet.
        const bool writerGone = *writer == getpid() || (kill(*writer, 0) != 0 && errno == ESRCH);
        if ((writerGone || now - st.st_mtime > kBusyForAtMost) && unlink(file.c_str()) == 0) {
            ++removed;
        }
    }
    if (removed > 0) {
        log_("removed %d unfinished save(s) of the preferences left in %s", removed, dir.c_str());
    }
}

void PlistDefaults::setAside(const std::string& why) {
    std::string aside = path_ + ".corrupt-" + timestamp();
    struct stat st {};
    for (int n = 1; lstat(aside.c_str(), &st) == 0; ++n) {
        aside = path_ + ".corrupt-" + timestamp() + "-" + std::to_string(n);
    }
    if (std::rename(path_.c_str(), aside.c_str()) != 0) {
        const int err = errno;
        mayWrite_ = false;
        log_("preferences file %s is damaged (%s) and cannot be moved aside (%s): preferences will not be saved",
             path_.c_str(), why.c_str(), std::strerror(err));
        return;
    }
    log_("preferences file %s is damaged (%s): kept as %s, starting with empty preferences", path_.c_str(),
         why.c_str(), aside.c_str());
}

bool PlistDefaults::holdsUnreadableValue(const std::string& key) const { return unreadable_.count(key) != 0; }

std::optional<Value> PlistDefaults::object(const std::string& key) const {
    const auto it = values_.find(key);
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

void PlistDefaults::setObject(const std::string& key, Value value) {
    unreadable_.erase(key);
    values_.insert_or_assign(key, std::move(value));
    write();
}

void PlistDefaults::removeObject(const std::string& key) {
    if (values_.erase(key) + unreadable_.erase(key) > 0) {
        write();
    }
}

bool PlistDefaults::synchronize() { return write(); }

bool PlistDefaults::write() {
    if (!mayWrite_) {
        return false;
    }
    auto fail = [&](const char* step, const char* why) {
        // Log the first failure of a run only: every change would repeat it.
        if (!lastWriteFailed_) {
            log_("cannot save preferences to %s: %s: %s", path_.c_str(), step, why);
        }
        lastWriteFailed_ = true;
        return false;
    };
    // Only a regular file is replaced, or created where nothing is. A link to
    // one (a dotfiles folder) stays a link: its target is what gets replaced.
    // A FIFO, a device, a folder or a link to nothing is left alone.
    std::string target = path_;
    struct stat st {};
    if (lstat(path_.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            target = resolvedTarget(path_);
            struct stat linked {};
            if (target == path_ || stat(target.c_str(), &linked) != 0 || !S_ISREG(linked.st_mode)) {
                return fail("leaving it alone", "it is a link, and not to a regular file");
            }
        } else if (!S_ISREG(st.st_mode)) {
            return fail("leaving it alone", "it is not a regular file");
        }
    } else if (errno != ENOENT && errno != ENOTDIR) {
        return fail("looking at the file", std::strerror(errno));
    }
    const std::string dir = parentOf(target);
    if (!makeDirectories(dir)) {
        return fail("creating the folder", std::strerror(errno));
    }
    // The new contents go to a private file beside the old one, reach the disk,
    // and only then replace it in one rename: a reader sees old or new, never half.
    std::string temp = dir + "/" + temporaryPrefix(target) + std::to_string(getpid()) + "-XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        return fail("creating a temporary file", std::strerror(errno));
    }
    const std::string xml = toPlistXml(Value::dictionary(values_));
    int err = 0;
    const char* step = nullptr;
    if (fchmod(fd, 0600) != 0) {
        err = errno, step = "setting permissions";
    } else if (!writeAll(fd, xml)) {
        err = errno, step = "writing";
    } else if (fsync(fd) != 0) {
        err = errno, step = "flushing";
    }
    if (::close(fd) != 0 && !step) {
        err = errno, step = "closing";
    }
    if (!step && std::rename(temp.c_str(), target.c_str()) != 0) {
        err = errno, step = "replacing the old file";
    }
    if (step) {
        unlink(temp.c_str());
        return fail(step, std::strerror(err));
    }
    // The rename itself lives in the folder: flush it too.
    if (const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        fsync(dirFd);
        ::close(dirFd);
    }
    if (lastWriteFailed_) {
        log_("preferences saved to %s again", path_.c_str());
    }
    lastWriteFailed_ = false;
    return true;
}

} // namespace dimwell::x11
