#pragma once
// Keeps the shown mask windows above every application window: the nearest X
// has to the shielding window level. Override-redirect windows start on top,
// but a window manager that raises a frame (on a click, on activation) puts it
// above everything; the masks then go back on top at once.
//
// Only frames and other managed windows are answered: override-redirect windows
// (menus, tooltips, screen lockers) may stay above the veil, so nothing fights
// a locker for the top of the stack.

#include <QObject>
#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <memory>
#include <set>
#include <unordered_map>

namespace dimwell::x11 {

class MaskStacking : public QObject {
public:
    MaskStacking();
    ~MaskStacking() override;
    MaskStacking(const MaskStacking&) = delete;
    MaskStacking& operator=(const MaskStacking&) = delete;

    /// A shown mask to keep on top; `remove` when it is hidden or closed.
    void add(xcb_window_t window);
    void remove(xcb_window_t window);
    /// Raises every shown mask now.
    void raiseAll();

private:
    void readEvents();
    void handle(const xcb_generic_event_t* event);
    void scheduleRaise();

    // A connection of its own: the root's substructure events would otherwise
    // reach Qt, which re-reads every screen on each ConfigureNotify of the root.
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
    std::unique_ptr<QSocketNotifier> notifier_;

    std::set<xcb_window_t> masks_;
    /// Last known sibling below each managed top-level: a change is a restack,
    /// the same sibling is only a move or resize.
    std::unordered_map<xcb_window_t, xcb_window_t> below_;
    bool raisePending_ = false;
};

} // namespace dimwell::x11
