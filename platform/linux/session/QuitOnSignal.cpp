#include "platform/linux/session/QuitOnSignal.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace dimwell::x11 {

namespace {

int pipeFds[2] = {-1, -1};

/// A hang-up (the terminal or session going away) ends Dimwell like a request to
/// terminate: through the event loop, so the tutorial it started ends with it.
constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int signal) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    // A full pipe already holds a pending quit: nothing is lost by dropping this one.
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &byte, 1);
    errno = saved;
}

} // namespace

QuitOnSignal::QuitOnSignal(std::function<void(int)> onQuit) : onQuit_(std::move(onQuit)) {
    if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(pipeFds[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        int last = 0;
        while (::read(pipeFds[0], &byte, 1) == 1) {
            last = byte;
        }
        if (last != 0 && onQuit_) {
            onQuit_(last);
        }
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kQuitSignals) {
        sigaction(signal, &action, nullptr);
    }
}

QuitOnSignal::~QuitOnSignal() {
    for (const int signal : kQuitSignals) {
        std::signal(signal, SIG_DFL);
    }
    notifier_.reset();
    for (int& fd : pipeFds) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

} // namespace dimwell::x11
