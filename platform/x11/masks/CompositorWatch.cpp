#include "platform/x11/masks/CompositorWatch.h"

#include "platform/x11/XcbReply.h"

#include <xcb/xfixes.h>

#include <string>

namespace dimwell::x11 {

CompositorWatch::CompositorWatch(std::function<void(bool running)> changed) : changed_(std::move(changed)) {
    int screen = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    connection_ = c;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; it.rem && i < screen; ++i) {
        xcb_screen_next(&it);
    }
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!it.rem || !xfixes || !xfixes->present) {
        return;
    }
    firstEvent_ = xfixes->first_event;
    // Selection events need version 1 of the extension, and asking for it is obligatory.
    const auto version = takeReply<xcb_xfixes_query_version_reply_t>(
        c, xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
        xcb_xfixes_query_version_reply);
    const std::string name = "_NET_WM_CM_S" + std::to_string(screen);
    const auto atom = takeReply<xcb_intern_atom_reply_t>(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), xcb_intern_atom_reply);
    if (!version || version->major_version < 1 || !atom) {
        return;
    }
    const std::uint32_t events = XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                 XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                 XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE;
    if (!requestSucceeded(c, xcb_xfixes_select_selection_input_checked(c, it.data->root, atom->atom, events))) {
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
}

CompositorWatch::~CompositorWatch() {
    notifier_.reset();
    if (connection_) {
        xcb_disconnect(connection_);
    }
}

void CompositorWatch::readEvents() {
    while (xcb_generic_event_t* raw = xcb_poll_for_event(connection_)) {
        const XcbReply<xcb_generic_event_t> event(raw);
        if ((event->response_type & 0x7f) == firstEvent_ + XCB_XFIXES_SELECTION_NOTIFY) {
            const auto* e = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event.get());
            changed_(e->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER && e->owner != XCB_WINDOW_NONE);
        }
    }
    if (xcb_connection_has_error(connection_)) {
        // The server went away; the program's main connection ends the program.
        notifier_.reset();
    }
}

} // namespace dimwell::x11
