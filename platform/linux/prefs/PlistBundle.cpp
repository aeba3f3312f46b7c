#include "platform/linux/prefs/PlistBundle.h"

#include "platform/linux/prefs/PlistValue.h"
#include "platform/linux/session/ProgramFolder.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace dimwell::x11 {

namespace {

bool isDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string findResourceFolder(const std::string& programFolder) {
    if (const char* env = std::getenv("DIMWELL_RESOURCES"); env && *env) {
        return env;
    }
    // Beside bin/: wherever the tree was installed or moved to.
    if (const std::string relative = programFolder + "/../share/dimwell"; isDirectory(relative)) {
        return relative;
    }
    if (isDirectory(DIMWELL_SOURCE_RESOURCES)) {
        return DIMWELL_SOURCE_RESOURCES;
    }
    return DIMWELL_INSTALLED_RESOURCES;
}

} // namespace

PlistBundle::PlistBundle(LogSink& log)
    : programFolder_(programFolder()), resourceFolder_(findResourceFolder(programFolder_)), log_(log) {
    // Which copy of the presets and pictures a program uses is the first question
    // when an installed Dimwell looks wrong.
    log_("resources in %s", resourceFolder_.c_str());
}

PlistBundle::PlistBundle(std::string programFolder, std::string resourceFolder, LogSink& log)
    : programFolder_(std::move(programFolder)), resourceFolder_(std::move(resourceFolder)), log_(log) {}

std::optional<Value> PlistBundle::propertyList(const std::string& name) const {
    const std::string path = resourceFolder_ + "/" + name + ".plist";
    PlistReadResult read =
        readPlistFile(path, [this, &path](const std::string& what) { log_("%s: %s", path.c_str(), what.c_str()); });
    if (read.status != PlistReadStatus::Ok) {
        log_("cannot read resource %s: %s", path.c_str(), read.detail.c_str());
        return std::nullopt;
    }
    return std::move(read.value);
}

std::string PlistBundle::resourcePath(const std::string& name, const std::string& type) const {
    if (name.empty() || name.find('/') != std::string::npos) {
        return {};
    }
    if (type == "app") {
        if (const std::string program = programFolder_ + "/" + name; access(program.c_str(), X_OK) == 0) {
            return program;
        }
    }
    const std::string path = resourceFolder_ + "/" + name + (type.empty() ? "" : "." + type);
    return isFile(path) ? path : std::string();
}

} // namespace dimwell::x11
