#include "platform/x11/MaskStacking.h"

#include "platform/x11/XcbUtil.h"

#include <QMetaObject>

namespace dimwell::x11 {

MaskStacking::MaskStacking() {
    int screen = 0;
    connection_ = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (; it.rem > 0 && screen > 0; xcb_screen_next(&it), --screen) {
    }
    if (it.rem == 0) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
        return;
    }
    root_ = it.data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection_);
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
}

MaskStacking::~MaskStacking() {
    notifier_.reset();
    if (connection_) {
        xcb_disconnect(connection_);
    }
}

void MaskStacking::add(xcb_window_t window) { masks_.insert(window); }

void MaskStacking::remove(xcb_window_t window) { masks_.erase(window); }

void MaskStacking::raiseAll() {
    raisePending_ = false;
    xcb_connection_t* c = connection_ ? connection_ : xcbConnection();
    if (!c || masks_.empty()) {
        return;
    }
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    for (const xcb_window_t w : masks_) {
        xcb_configure_window(c, w, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    }
    xcb_flush(c);
}

void MaskStacking::scheduleRaise() {
    if (raisePending_ || masks_.empty()) {
        return;
    }
    raisePending_ = true;
    // Once per pass of the event loop, however many windows moved up meanwhile.
    QMetaObject::invokeMethod(this, [this] { raiseAll(); }, Qt::QueuedConnection);
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
        if (e->event == root_ && !e->override_redirect && !masks_.contains(e->window)) {
            scheduleRaise();
        }
        break;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        if (e->event != root_ || e->window == root_ || e->override_redirect || masks_.contains(e->window)) {
            break;
        }
        const auto it = below_.find(e->window);
        const bool restacked = it == below_.end() || it->second != e->above_sibling;
        below_[e->window] = e->above_sibling;
        if (restacked) {
            scheduleRaise();
        }
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
        below_.erase(e->window);
        break;
    }
    default: break;
    }
}

} // namespace dimwell::x11
