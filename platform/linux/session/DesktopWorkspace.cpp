#include "platform/linux/session/DesktopWorkspace.h"
#include "platform/linux/session/ProcFiles.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <unistd.h>
#include <vector>

namespace dimwell::x11 {

namespace {

constexpr const char* kAccessibilityPane = "/System/Library/PreferencePanes/UniversalAccessPref.prefPane";

} // namespace

std::string processNameOf(std::int32_t pid) {
    if (pid <= 0) {
        return {};
    }
    return processName(pid).value_or(std::string());
}

DesktopWorkspace::DesktopWorkspace(std::string processName, LogSink& log, ActiveProcess activeProcess)
    : processName_(std::move(processName)), log_(log), activeProcess_(std::move(activeProcess)) {}

bool DesktopWorkspace::openFile(const std::string& path) {
    if (path == kAccessibilityPane) {
        return openAccessibilitySettings();
    }
    if (path.empty()) {
        return false;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

bool DesktopWorkspace::openAccessibilitySettings() {
    struct Tool {
        const char* program;
        std::vector<const char*> arguments;
    };
    // The desktops' own accessibility panels; the first one installed is used.
    static const Tool tools[] = {
        {"gnome-control-center", {"universal-access"}},
        {"cinnamon-settings", {"universal-access"}},
        {"systemsettings", {"kcm_access"}},
        {"systemsettings5", {"kcm_access"}},
        {"xfce4-accessibility-settings", {}},
        {"mate-at-properties", {}},
    };
    for (const Tool& tool : tools) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(tool.program));
        if (program.isEmpty()) {
            continue;
        }
        QStringList arguments;
        for (const char* a : tool.arguments) {
            arguments << QString::fromLatin1(a);
        }
        if (QProcess::startDetached(program, arguments)) {
            return true;
        }
        log_("cannot start %s", tool.program);
    }
    log_("no accessibility settings to open on this desktop");
    return false;
}

ActiveApplication DesktopWorkspace::activeApplication() const {
    ActiveApplication app;
    const std::int32_t pid = activeProcess_ ? activeProcess_() : 0;
    if (pid <= 0) {
        return app;
    }
    app.processIdentifier = pid;
    app.name = pid == static_cast<std::int32_t>(getpid()) ? processName_ : processNameOf(pid);
    return app;
}

} // namespace dimwell::x11
