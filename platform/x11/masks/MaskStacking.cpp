#include "platform/x11/masks/MaskStacking.h"

#include "platform/x11/windows/WindowStack.h"
#include "platform/x11/XcbUtil.h"

#include <QMetaObject>

#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace dimwell::x11 {

namespace {

/// A window that comes back above the masks this often within the period wants
/// the top for itself (a locker, another always-on-top program): it keeps it.
constexpr int kMaxRaisesPerPeriod = 10;
constexpr std::chrono::seconds kInsistencePeriod{1};

} // namespace

MaskStacking::MaskStacking(LogSink& log) : log_(log) {
    int screen = 0;
    connection_ = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
        return;
    }
    stack_ = std::make_unique<WindowStack>(connection_, screen);
    root_ = stack_->root();
    if (root_ == XCB_WINDOW_NONE) {
        stack_.reset();
        xcb_disconnect(connection_);
        connection_ = nullptr;
        return;
    }
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
}

MaskStacking::~MaskStacking() {
    notifier_.reset();
    stack_.reset();
    if (connection_) {
        xcb_disconnect(connection_);
    }
}

void MaskStacking::add(xcb_window_t window) { masks_.insert(window); }

void MaskStacking::remove(xcb_window_t window) { masks_.erase(window); }

bool MaskStacking::insists(xcb_window_t window) {
    const auto now = std::chrono::steady_clock::now();
    Insistence& insistence = insistence_[window];
    if (now - insistence.since > kInsistencePeriod) {
        insistence = {now, 0};
    }
    return ++insistence.raises > kMaxRaisesPerPeriod;
}

void MaskStacking::raiseAll() {
    raisePending_ = false;
    xcb_connection_t* qt = xcbConnection();
    xcb_connection_t* c = connection_ ? connection_ : qt;
    if (!c || masks_.empty()) {
        return;
    }
    if (qt && qt != c) {
        // The masks were shown and raised on Qt's connection: the server must have
        // done that before this connection stacks them, or it would undo this.
        std::free(xcb_get_input_focus_reply(qt, xcb_get_input_focus(qt), nullptr));
    }
    const std::vector<StackedWindow> windows = stack_ ? stack_->frontToBack() : std::vector<StackedWindow>{};
    const auto self = static_cast<std::int32_t>(::getpid());

    // Front to back, down to the first window another program's window manager
    // placed: this program's own windows (its menu, its settings) stay above the
    // masks, and so do popups that keep coming back; other popups go below them.
    xcb_window_t lowestKept = XCB_WINDOW_NONE;
    std::vector<xcb_window_t> popups;
    std::size_t popupsAboveKept = 0;
    bool aboveMasks = true;
    for (const StackedWindow& w : windows) {
        if (masks_.contains(w.topLevel)) {
            aboveMasks = false;
            continue;
        }
        // Override-redirect frames (fluxbox, i3) are no popups: see FrameClient.h.
        const bool popup = w.overrideRedirect;
        if (popup && w.pid != self && !yielded_.contains(w.topLevel) && aboveMasks && insists(w.topLevel)) {
            yielded_.insert(w.topLevel);
            log_("window 0x%x keeps raising itself above the veil: it stays on top", w.topLevel);
        }
        if (w.pid == self || yielded_.contains(w.topLevel)) {
            lowestKept = w.topLevel;
            popupsAboveKept = popups.size();
        } else if (popup) {
            popups.push_back(w.topLevel);
        } else {
            break;
        }
    }
    const auto place = [c](xcb_window_t window, xcb_window_t sibling) {
        const std::uint32_t below[] = {sibling, XCB_STACK_MODE_BELOW};
        return requestSucceeded(c, xcb_configure_window_checked(
                                       c, window, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, below));
    };
    bool placed = lowestKept != XCB_WINDOW_NONE;
    for (const xcb_window_t w : masks_) {
        placed = placed && place(w, lowestKept);
    }
    if (placed) {
        for (std::size_t i = 0; i < popupsAboveKept; ++i) {
            place(popups[i], *masks_.begin());
        }
    } else {
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        for (const xcb_window_t w : masks_) {
            xcb_configure_window(c, w, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        }
    }
    xcb_flush(c);
    // Events that came in while the replies were awaited are already off the socket.
    readEvents();
}

void MaskStacking::scheduleRaise() {
    if (raisePending_ || masks_.empty()) {
        return;
    }
    raisePending_ = true;
    // Once per pass of the event loop, however many windows moved up meanwhile.
    QMetaObject::invokeMethod(this, [this] { raiseAll(); }, Qt::QueuedConnection);
}

void MaskStacking::provoked(xcb_window_t window) {
    if (!masks_.contains(window) && !yielded_.contains(window)) {
        scheduleRaise();
    }
}

void MaskStacking::readEvents() {
    if (!connection_) {
        return;
    }
    while (xcb_generic_event_t* raw = xcb_poll_for_event(connection_)) {
        const XcbReply<xcb_generic_event_t> event(raw);
        handle(event.get());
    }
    if (xcb_connection_has_error(connection_)) {
        // The server went away; the program's main connection ends the program.
        notifier_.reset();
    }
}

void MaskStacking::handle(const xcb_generic_event_t* event) {
    switch (event->response_type & 0x7f) {
    case XCB_MAP_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_map_notify_event_t*>(event);
        if (e->event == root_) {
            provoked(e->window);
        }
        break;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        if (e->event != root_ || e->window == root_) {
            break;
        }
        // A move or resize keeps the sibling below and changes the geometry; a raise
        // changes the sibling, or nothing at all when the window comes back to the
        // top above the same window as before.
        const Placement now{e->above_sibling, e->x, e->y, e->width, e->height};
        const auto it = placements_.find(e->window);
        const bool restacked = it == placements_.end() || it->second.below != now.below || it->second == now;
        placements_[e->window] = now;
        if (restacked) {
            provoked(e->window);
        }
        break;
    }
    case XCB_UNMAP_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_unmap_notify_event_t*>(event);
        insistence_.erase(e->window);
        yielded_.erase(e->window);
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
        placements_.erase(e->window);
        insistence_.erase(e->window);
        yielded_.erase(e->window);
        break;
    }
    default: break;
    }
}

} // namespace dimwell::x11
