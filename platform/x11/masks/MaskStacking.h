#pragma once
// Keeps the shown mask windows above every other program's windows: the nearest
// X has to the shielding window level. Override-redirect windows start on top,
// but a window manager that raises a frame (on a click, on activation) and every
// menu, tooltip or notification that maps puts itself above everything; the masks
// then go back on top at once.
//
// Two kinds of window stay above the masks: this program's own (its menu, its
// settings window), and a window that keeps raising itself over them (a screen
// locker), so that nothing fights it for the top of the stack.

#include "common/Log.h"

#include <QObject>
#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <chrono>
#include <memory>
#include <set>
#include <unordered_map>

namespace dimwell::x11 {

class WindowStack;

class MaskStacking : public QObject {
public:
    explicit MaskStacking(LogSink& log);
    ~MaskStacking() override;
    MaskStacking(const MaskStacking&) = delete;
    MaskStacking& operator=(const MaskStacking&) = delete;

    /// A shown mask to keep on top; `remove` when it is hidden or closed.
    void add(xcb_window_t window);
    void remove(xcb_window_t window);
    /// Puts every shown mask in place now: above other programs' windows, below
    /// this program's own windows that lie above those.
    void raiseAll();
    /// The same, once at the end of this pass of the event loop.
    void scheduleRaise();

private:
    void readEvents();
    void handle(const xcb_generic_event_t* event);
    /// `window`, a top-level of some program, came up: perhaps above the masks.
    void provoked(xcb_window_t window);
    /// Counts one more time `window` was found above the masks; true once too often.
    bool insists(xcb_window_t window);

    Logger log_;
    // A connection of its own: the root's substructure events would otherwise
    // reach Qt, which re-reads every screen on each ConfigureNotify of the root.
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    std::unique_ptr<WindowStack> stack_;
    std::unique_ptr<QSocketNotifier> notifier_;

    std::set<xcb_window_t> masks_;
    /// Last known place of each top-level, to tell restacks from moves.
    struct Placement {
        xcb_window_t below;
        std::int16_t x, y;
        std::uint16_t width, height;
        bool operator==(const Placement&) const = default;
    };
    std::unordered_map<xcb_window_t, Placement> placements_;
    struct Insistence {
        std::chrono::steady_clock::time_point since;
        int raises = 0;
    };
    std::unordered_map<xcb_window_t, Insistence> insistence_;
    /// Windows that won the top of the stack by insisting on it.
    std::set<xcb_window_t> yielded_;
    bool raisePending_ = false;
};

} // namespace dimwell::x11
