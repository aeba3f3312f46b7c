#pragma once
// The other end of the remote control: asks a running Dimwell for one action.

#include <string>

namespace dimwell::linuxdesktop {

/// How long a caller waits for Dimwell's answer.
inline constexpr int remoteCallTimeoutMs = 3000;

/// Calls `action` on the Dimwell of this session. 0 when it answered; 1, with
/// one line on standard error, when it is not running, refused or did not
/// answer in time. Needs a QCoreApplication.
int sendRemoteAction(const std::string& action);

} // namespace dimwell::linuxdesktop
