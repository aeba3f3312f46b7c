#include "platform/linux/session/ProgramApplications.h"

#include "common/ProgramIdentity.h"
#include "platform/linux/session/ProgramFolder.h"
#include "platform/linux/session/RunningPrograms.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace dimwell::x11 {

namespace {

constexpr const char* kTutorialName = "DimwellHelp";

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

/// Started detached (fork and exec, no shell): the program outlives Dimwell if
/// it must, and no argument is ever read by a shell.
bool startDetached(const std::string& program, const std::vector<std::string>& arguments) {
    QStringList args;
    for (const std::string& a : arguments) {
        args << QString::fromStdString(a);
    }
    return QProcess::startDetached(QString::fromStdString(program), args);
}

} // namespace

std::string ProgramApplications::executableFolder() {
    return programFolder();
}

ProgramApplications::ProgramApplications(LogSink& log) : ProgramApplications(executableFolder(), log) {}

ProgramApplications::ProgramApplications(std::string programFolder, LogSink& log)
    : programFolder_(std::move(programFolder)), tutorialPath_(programFolder_ + "/" + kTutorialName), log_(log) {}

bool ProgramApplications::launchTutorial() {
    if (!isExecutableFile(tutorialPath_)) {
        return false;
    }
    return startDetached(tutorialPath_, {});
}

std::vector<RunningApplication> ProgramApplications::runningTutorials() const {
    std::vector<RunningApplication> running;
    // Found by identity, not by path: a tutorial started from a copy or a link counts too.
    for (const pid_t pid : processesDeclaring(kTutorialIdentity, getuid())) {
        running.push_back({static_cast<std::int32_t>(pid)});
    }
    return running;
}

void ProgramApplications::terminate(const RunningApplication& application) {
    terminateIfDeclaring(application.processIdentifier, kTutorialIdentity, getuid());
}

std::string ProgramApplications::toolPath(const std::string& name) const {
    if (name.empty() || name.find('/') != std::string::npos) {
        return {};
    }
    for (const std::string& candidate :
         {programFolder_ + "/" + name, programFolder_ + "/../libexec/dimwell/" + name}) {
        if (isExecutableFile(candidate)) {
            return candidate;
        }
    }
    return {};
}

bool ProgramApplications::runTool(const std::vector<std::string>& argv) {
    if (argv.empty()) {
        return false;
    }
    const bool started = startDetached(argv.front(), {argv.begin() + 1, argv.end()});
    if (!started) {
        log_("cannot start %s", argv.front().c_str());
    }
    return started;
}

void ProgramApplications::terminateSelf() {
    // Queued, so that a request made before the loop runs still ends it.
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
}

} // namespace dimwell::x11
