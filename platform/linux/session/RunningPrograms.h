#pragma once
// Finding and ending running programs by the identity their executable declares
// (an ELF note, see common/ProgramIdentity.h), never by a process name, which any
// program can choose for itself.

#include <string>
#include <sys/types.h>
#include <vector>

namespace dimwell::x11 {

/// The identity the executable open at `fd` declares; empty when it declares none
/// or is no executable of this machine's kind.
std::string declaredIdentity(int fd);

/// Processes of user `uid` whose executable declares `identity`, wherever the
/// file lies and whatever it is called; ascending process ids, this one left out.
std::vector<pid_t> processesDeclaring(const std::string& identity, uid_t uid);

/// Sends SIGTERM to `pid` if it is still a process of `uid` whose executable
/// declares `identity`; false when it is not (it ended, or its id now belongs to
/// another program).
bool terminateIfDeclaring(pid_t pid, const std::string& identity, uid_t uid);

} // namespace dimwell::x11
