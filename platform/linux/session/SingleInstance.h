#pragma once
// One Dimwell per user and X display: a listening socket in the kernel's abstract
// namespace, named after the user id and the display, held for as long as the
// program runs. The kernel frees the name when the process ends, however it ends.
//
// Why a socket name and not a lock file: the name depends on nothing in the
// environment, so every Dimwell of the session finds it (a file in
// $XDG_RUNTIME_DIR is missed by one started without that variable, and a
// fallback folder differs from it), and it needs no folder another user could
// plant first. An abstract name has no owner, so a holder is only believed
// when the kernel says it is a process of this user; a name taken by anyone
// else never keeps Dimwell from starting.

#include <string>

namespace dimwell::x11 {

class SingleInstanceLock {
public:
    enum class Outcome {
        Acquired,
        HeldElsewhere,   ///< another instance of this user runs
        Unavailable,     ///< the name cannot be used; nothing can be said
    };

    /// Tries to take the abstract socket `name` without waiting; held while this object lives.
    explicit SingleInstanceLock(const std::string& name);
    /// The session's name: "dimwell-<uid>-<display>", the display normalised.
    static std::string sessionLockPath(const std::string& display);
    /// ":0", ":0.0", "unix:0", "unix/:0" and "/tmp/.X11-unix/X0" all name ":0";
    /// a display on another host keeps its host.
    static std::string normalisedDisplay(const std::string& display);

    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    Outcome outcome() const { return outcome_; }

private:
    int fd_ = -1;
    Outcome outcome_ = Outcome::Unavailable;
};

} // namespace dimwell::x11
