// EnableAccessibility <program folder>
//
// Switches on the desktop's accessibility support for this user, so that
// Dimwell can read other programs' views: the AT-SPI bus is told that
// accessibility is enabled (toolkits then expose their widgets), and the GNOME
// toolkit setting that makes it stay on at the next login is set. Needs no
// administrator rights. Every client is run by argument vector, never through a
// shell. Exits 0 when at least one of the two was switched on.

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

void report(const char* format, ...) __attribute__((format(printf, 1, 2)));

void report(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    syslog(LOG_NOTICE, "%s", line);
    std::fprintf(stderr, "EnableAccessibility: %s\n", line);
}

enum class RunResult { Succeeded, Failed, NotInstalled, TimedOut };

/// Runs `argv` (looked up on PATH) with its output discarded and waits at most
/// `seconds`; a client stuck on a dead bus must not hang the caller.
RunResult run(const std::vector<std::string>& argv, int seconds) {
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return spawned == ENOENT ? RunResult::NotInstalled : RunResult::Failed;
    }

    const timespec pause{0, 50 * 1000 * 1000};
    for (int waited = 0; waited < seconds * 20; ++waited) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? RunResult::Succeeded : RunResult::Failed;
        }
        if (r < 0 && errno != EINTR) {
            return RunResult::Failed;
        }
        nanosleep(&pause, nullptr);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return RunResult::TimedOut;
}

const char* describe(RunResult r) {
    switch (r) {
    case RunResult::Succeeded: return "done";
    case RunResult::Failed: return "failed";
    case RunResult::NotInstalled: return "not installed";
    case RunResult::TimedOut: return "no answer";
    }
    return "failed";
}

/// org.a11y.Status.IsEnabled on the AT-SPI bus object, through whichever
/// session-bus client the desktop has.
bool enableAtspiBus() {
    const std::vector<std::vector<std::string>> clients = {
        {"gdbus", "call", "--session", "--dest", "org.a11y.Bus", "--object-path", "/org/a11y/bus", "--method",
         "org.freedesktop.DBus.Properties.Set", "org.a11y.Status", "IsEnabled", "<true>"},
        {"busctl", "--user", "set-property", "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Status", "IsEnabled", "b",
         "true"},
    };
    for (const auto& client : clients) {
        const RunResult r = run(client, 10);
        report("AT-SPI bus IsEnabled=true through %s: %s", client[0].c_str(), describe(r));
        if (r == RunResult::Succeeded) {
            return true;
        }
    }
    return false;
}

bool enableToolkitSetting() {
    const RunResult r =
        run({"gsettings", "set", "org.gnome.desktop.interface", "toolkit-accessibility", "true"}, 10);
    report("toolkit-accessibility=true through gsettings: %s", describe(r));
    return r == RunResult::Succeeded;
}

} // namespace

int main(int argc, char* argv[]) {
    openlog("EnableAccessibility", LOG_PID, LOG_USER);
    if (argc != 2) {
        std::fprintf(stderr, "usage: EnableAccessibility <program folder>\n");
        return 2;
    }
    report("switching on accessibility for %s", argv[1]);
    const bool bus = enableAtspiBus();
    const bool toolkit = enableToolkitSetting();
    report(bus || toolkit ? "accessibility is on; start Dimwell again" : "accessibility could not be switched on");
    closelog();
    return bus || toolkit ? 0 : 1;
}
