#pragma once
// The program's log lines: to the system log, and to standard error as
// "Dimwell: <line>" when someone is watching it.

#include "common/Log.h"

#include <string>

namespace dimwell::x11 {

class StderrLog : public LogSink {
public:
    /// `toStderr`: also echo each line to standard error. `toSyslog`: send it to
    /// the system log under the program's name.
    StderrLog(bool toStderr, bool toSyslog);
    ~StderrLog() override;
    StderrLog(const StderrLog&) = delete;
    StderrLog& operator=(const StderrLog&) = delete;

    /// The usual choice: syslog always; standard error when it is a terminal or
    /// DIMWELL_LOG_STDERR=1 asks for it (scripts that collect the output).
    static bool stderrWanted();

    void write(std::string_view line) override;

private:
    bool toStderr_;
    bool toSyslog_;
};

} // namespace dimwell::x11
