#include "platform/linux/session/XdgLoginItems.h"

#include "platform/linux/session/DesktopEntry.h"
#include "platform/linux/session/ProcFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dimwell::x11 {

namespace {

constexpr const char* kDefaultSearchPath = "/usr/local/bin:/usr/bin:/bin";

std::string currentSearchPath() {
    const char* path = std::getenv("PATH");
    return path && *path ? path : kDefaultSearchPath;
}

bool isTrue(const std::map<std::string, std::string>& keys, const std::string& key) {
    const auto it = keys.find(key);
    return it != keys.end() && it->second == "true";
}

/// mkdir -p for the folders up to `path` that are missing; the configuration
/// home is private to the user.
bool makeFolders(const std::string& path) {
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty()) {
            continue;
        }
        if (mkdir(partial.c_str(), pos == std::string::npos ? 0755 : 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

/// Gives the finished temporary file its final name, never replacing an
/// existing entry.
bool publishWithoutReplacing(const std::string& temporary, const std::string& final) {
    if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, final.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // File systems without RENAME_NOREPLACE: a hard link also refuses to replace.
    if (link(temporary.c_str(), final.c_str()) != 0) {
        return false;
    }
    unlink(temporary.c_str());
    return true;
}

} // namespace

std::string autostartEntryText(const std::string& program) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Dimwell\n"
           "Comment=Dims every display except the part you are working in\n"
           "Exec=" +
           escapeDesktopString(quoteExecArgument(program)) +
           "\n"
           "Icon=dimwell\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

XdgLoginItemsList::XdgLoginItemsList(std::string autostartFolder, std::string searchPath, LogSink& log)
    : folder_(std::move(autostartFolder)), searchPath_(std::move(searchPath)), log_(log) {}

std::uint64_t XdgLoginItemsList::idFor(const std::string& fileName) const {
    const auto [it, inserted] = ids_.emplace(fileName, nextId_);
    if (inserted) {
        ++nextId_;
    }
    return it->second;
}

std::vector<LoginItem> XdgLoginItemsList::snapshot() const {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder_.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 8 && name.front() != '.' && name.ends_with(".desktop")) {
                names.push_back(name);
            }
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());

    std::vector<LoginItem> items;
    for (const std::string& name : names) {
        const auto text = readSmallFile(folder_ + "/" + name);
        if (!text) {
            continue;
        }
        const auto keys = readDesktopEntryGroup(*text);
        if (keys && isTrue(*keys, "Hidden")) {
            continue;
        }
        LoginItem item{idFor(name), std::nullopt};
        if (keys) {
            const auto type = keys->find("Type");
            const auto exec = keys->find("Exec");
            if ((type == keys->end() || type->second == "Application") && exec != keys->end()) {
                item.resolvedPath = resolveExecProgram(exec->second, searchPath_);
            }
        }
        items.push_back(std::move(item));
    }
    return items;
}

bool XdgLoginItemsList::insertItem(const std::string& path) {
    if (!makeFolders(folder_)) {
        log_("cannot create %s: %s", folder_.c_str(), std::strerror(errno));
        return false;
    }
    // Written under a name no reader looks at, then published whole.
    std::string temporary = folder_ + "/.dimwell-XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        log_("cannot write in %s: %s", folder_.c_str(), std::strerror(errno));
        return false;
    }
    const bool written = fchmod(fd, 0644) == 0 && writeAll(fd, autostartEntryText(path)) && fsync(fd) == 0;
    const int closed = ::close(fd);
    if (!written || closed != 0) {
        log_("cannot write %s: %s", temporary.c_str(), std::strerror(errno));
        unlink(temporary.c_str());
        return false;
    }
    for (int n = 1; n < 1000; ++n) {
        const std::string final = folder_ + (n == 1 ? std::string("/dimwell.desktop") : "/dimwell-" + std::to_string(n) + ".desktop");
        if (publishWithoutReplacing(temporary, final)) {
            if (const int dirfd = open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirfd >= 0) {
                fsync(dirfd);
                ::close(dirfd);
            }
            return true;
        }
        if (errno != EEXIST) {
            log_("cannot add %s: %s", final.c_str(), std::strerror(errno));
            break;
        }
    }
    unlink(temporary.c_str());
    return false;
}

bool XdgLoginItemsList::removeItem(std::uint64_t id) {
    const auto it = std::find_if(ids_.begin(), ids_.end(), [id](const auto& entry) { return entry.second == id; });
    if (it == ids_.end()) {
        return false;
    }
    const std::string file = folder_ + "/" + it->first;
    if (unlink(file.c_str()) != 0) {
        log_("cannot remove %s: %s", file.c_str(), std::strerror(errno));
        return false;
    }
    ids_.erase(it);
    return true;
}

XdgLoginItemsService::XdgLoginItemsService(LogSink& log) : folder_(userAutostartFolder()), log_(log) {}

XdgLoginItemsService::XdgLoginItemsService(std::string autostartFolder, LogSink& log)
    : folder_(std::move(autostartFolder)), log_(log) {}

std::unique_ptr<LoginItemsList> XdgLoginItemsService::sessionLoginItems() {
    if (folder_.empty()) {
        return nullptr;
    }
    return std::make_unique<XdgLoginItemsList>(folder_, currentSearchPath(), log_);
}

std::string XdgLoginItemsService::userAutostartFolder() {
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
        return std::string(config) + "/autostart";
    }
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        return std::string(home) + "/.config/autostart";
    }
    return {};
}

} // namespace dimwell::x11
