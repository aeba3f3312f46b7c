#pragma once
// An event queue of its own on Dimwell's Wayland connection, for a request that
// must be waited for right away (a screen copy) without dispatching what belongs
// to the event loop: the masks', the input's. Every wait has a deadline, so a
// compositor that never answers holds nothing up for longer.

#include <chrono>
#include <functional>

struct wl_display;
struct wl_event_queue;
struct wl_proxy;

namespace dimwell::wayland {

class PrivateQueue {
public:
    using Clock = std::chrono::steady_clock;

    explicit PrivateQueue(wl_display* display);
    ~PrivateQueue();
    PrivateQueue(const PrivateQueue&) = delete;
    PrivateQueue& operator=(const PrivateQueue&) = delete;

    bool valid() const { return queue_ != nullptr; }
    wl_display* display() const { return display_; }

    /// Calls `make` with a stand-in for `proxy` whose new objects answer on this
    /// queue, and returns what it made.
    template <class T, class Make>
    T* through(void* proxy, Make make) const {
        void* wrapper = wrapperOf(proxy);
        if (!wrapper) {
            return nullptr;
        }
        T* made = make(wrapper);
        dropWrapper(wrapper);
        return made;
    }

    /// Dispatches this queue until `done` says so; false when the deadline passed
    /// or the connection failed first. Events for other queues are read and left
    /// queued for the event loop.
    bool waitUntil(const std::function<bool()>& done, Clock::time_point deadline) const;

private:
    void* wrapperOf(void* proxy) const;
    static void dropWrapper(void* wrapper);

    wl_display* display_;
    wl_event_queue* queue_;
};

} // namespace dimwell::wayland
