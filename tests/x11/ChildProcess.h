#pragma once
// Child processes a test starts and always ends, by process id.

#include <chrono>
#include <csignal>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace dimwell::test {

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv) {
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (posix_spawn(&pid_, args[0], nullptr, nullptr, args.data(), environ) != 0) {
            pid_ = -1;
        }
    }
    ~ChildProcess() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    /// The signal that ended the child within `timeout`, 0 when it still runs
    /// (or ended by itself).
    int endingSignal(std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!reaped_ && std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                reaped_ = true;
                signal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return signal_;
    }
    bool running() {
        return !reaped_ && endingSignal(std::chrono::milliseconds(0)) == 0 && !reaped_;
    }

    /// Waits until the child has exec'd `path` (its /proc exe link says so).
    bool waitUntilExecuting(const std::string& path) const {
        for (int i = 0; i < 150; ++i) {
            char buffer[4096];
            const ssize_t n = readlink(("/proc/" + std::to_string(pid_) + "/exe").c_str(), buffer, sizeof buffer);
            if (n > 0 && std::string(buffer, static_cast<std::size_t>(n)) == path) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int signal_ = 0;
};

} // namespace dimwell::test
