#include "platform/linux/session/StderrLog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <syslog.h>
#include <unistd.h>

namespace dimwell::x11 {

StderrLog::StderrLog(bool toStderr, bool toSyslog) : toStderr_(toStderr), toSyslog_(toSyslog) {
    if (toSyslog_) {
        openlog("Dimwell", LOG_PID, LOG_USER);
    }
}

StderrLog::~StderrLog() {
    if (toSyslog_) {
        closelog();
    }
}

bool StderrLog::stderrWanted() {
    const char* forced = std::getenv("DIMWELL_LOG_STDERR");
    if (forced && *forced) {
        return std::strcmp(forced, "0") != 0;
    }
    return isatty(STDERR_FILENO) == 1;
}

void StderrLog::write(std::string_view line) {
    // One write per line so that lines of concurrent writers never interleave.
    if (toStderr_) {
        std::string out = "Dimwell: ";
        out.append(line);
        out.push_back('\n');
        std::fwrite(out.data(), 1, out.size(), stderr);
        std::fflush(stderr);
    }
    if (toSyslog_) {
        const std::string text(line);
        syslog(LOG_NOTICE, "%s", text.c_str());
    }
}

} // namespace dimwell::x11
