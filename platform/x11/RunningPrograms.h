#pragma once
// Finding and ending running programs by the file they execute, never by a
// process name, which any program can choose for itself.

#include <string>
#include <sys/types.h>
#include <vector>

namespace dimwell::x11 {

/// Processes of user `uid` whose executable is the file at `executablePath`
/// (the same file, not merely the same name); ascending process ids.
std::vector<pid_t> processesRunning(const std::string& executablePath, uid_t uid);

/// Sends SIGTERM to `pid` if it is still a process of `uid` running that file;
/// false when it is not (it ended, or its id now belongs to another program).
bool terminateIfRunning(pid_t pid, const std::string& executablePath, uid_t uid);

} // namespace dimwell::x11
