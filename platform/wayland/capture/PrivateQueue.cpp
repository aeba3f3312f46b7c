#include "platform/wayland/capture/PrivateQueue.h"

#include <wayland-client.h>

#include <poll.h>

#include <cerrno>

namespace dimwell::wayland {

PrivateQueue::PrivateQueue(wl_display* display) : display_(display), queue_(wl_display_create_queue(display)) {}

PrivateQueue::~PrivateQueue() {
    if (queue_) {
        wl_display_flush(display_);
        wl_event_queue_destroy(queue_);
    }
}

void* PrivateQueue::wrapperOf(void* proxy) const {
    if (!queue_ || !proxy) {
        return nullptr;
    }
    void* wrapper = wl_proxy_create_wrapper(proxy);
    if (wrapper) {
        wl_proxy_set_queue(static_cast<wl_proxy*>(wrapper), queue_);
    }
    return wrapper;
}

void PrivateQueue::dropWrapper(void* wrapper) { wl_proxy_wrapper_destroy(wrapper); }

bool PrivateQueue::waitUntil(const std::function<bool()>& done, Clock::time_point deadline) const {
    while (true) {
        if (wl_display_dispatch_queue_pending(display_, queue_) < 0) {
            return false;
        }
        if (done()) {
            return true;
        }
        if (wl_display_prepare_read_queue(display_, queue_) != 0) {
            continue;   // events arrived for this queue meanwhile
        }
        wl_display_flush(display_);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            wl_display_cancel_read(display_);
            return false;
        }
        pollfd fd{wl_display_get_fd(display_), POLLIN, 0};
        const int polled = poll(&fd, 1, int(left.count()) + 1);
        if (polled > 0) {
            if (wl_display_read_events(display_) < 0) {
                return false;
            }
        } else {
            wl_display_cancel_read(display_);
            if (polled < 0 && errno != EINTR) {
                return false;
            }
        }
    }
}

} // namespace dimwell::wayland
