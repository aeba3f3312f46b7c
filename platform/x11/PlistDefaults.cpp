#include "platform/x11/PlistDefaults.h"

#include "platform/x11/PlistValue.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
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

std::string timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

} // namespace

PlistDefaults::PlistDefaults(std::string path, LogSink& log) : path_(std::move(path)), log_(log) { load(); }

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
        // Not ours to move: saving will fail, and say so, until it is gone.
        log_("preferences path %s is not a file: starting with empty preferences", path_.c_str());
        return;
    case PlistReadStatus::Unreadable:
    case PlistReadStatus::Malformed: setAside(read.detail); return;
    case PlistReadStatus::Ok: break;
    }
    const Dictionary* dict = read.value->asDictionary();
    if (!dict) {
        setAside("it holds no dictionary");
        return;
    }
    values_ = *dict;
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

std::optional<Value> PlistDefaults::object(const std::string& key) const {
    const auto it = values_.find(key);
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

void PlistDefaults::setObject(const std::string& key, Value value) {
    values_.insert_or_assign(key, std::move(value));
    write();
}

void PlistDefaults::removeObject(const std::string& key) {
    if (values_.erase(key) > 0) {
        write();
    }
}

bool PlistDefaults::synchronize() { return write(); }

bool PlistDefaults::write() {
    if (!mayWrite_) {
        return false;
    }
    // A preferences file kept as a link to elsewhere (a dotfiles folder) stays a link.
    std::string target = path_;
    if (char* resolved = realpath(path_.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    const std::string dir = parentOf(target);
    auto fail = [&](const char* step, int err) {
        // Log the first failure of a run only: every change would repeat it.
        if (!lastWriteFailed_) {
            log_("cannot save preferences to %s: %s: %s", path_.c_str(), step, std::strerror(err));
        }
        lastWriteFailed_ = true;
        return false;
    };
    if (!makeDirectories(dir)) {
        return fail("creating the folder", errno);
    }
    // The new contents go to a private file beside the old one, reach the disk,
    // and only then replace it in one rename: a reader sees old or new, never half.
    std::string temp = target + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        return fail("creating a temporary file", errno);
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
        return fail(step, err);
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
