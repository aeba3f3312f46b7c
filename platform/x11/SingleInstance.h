#pragma once
// One Dimwell per user session: an exclusive lock on a file in the user's
// runtime folder, held for as long as the program runs. The kernel drops it when
// the process ends, however it ends.

#include <string>

namespace dimwell::x11 {

class SingleInstanceLock {
public:
    enum class Outcome {
        Acquired,
        HeldElsewhere,   ///< another instance runs
        Unavailable,     ///< the lock file cannot be used; nothing can be said
    };

    /// Tries to take the lock at `path` without waiting; held while this object lives.
    explicit SingleInstanceLock(const std::string& path);
    /// $XDG_RUNTIME_DIR/dimwell-<display>.lock, or a private file in /tmp when
    /// the session has no runtime folder.
    static std::string sessionLockPath(const std::string& display);

    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    Outcome outcome() const { return outcome_; }

private:
    int fd_ = -1;
    Outcome outcome_ = Outcome::Unavailable;
};

} // namespace dimwell::x11
