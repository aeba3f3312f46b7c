#include "platform/x11/XcbUtil.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <cstring>
#include <optional>

namespace dimwell::x11 {

xcb_connection_t* xcbConnection() {
    auto* app = qGuiApp;
    if (!app) {
        return nullptr;
    }
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

int screenNumber() {
    // Qt connects to the default screen of $DISPLAY, ":display.screen".
    const char* display = std::getenv("DISPLAY");
    if (!display) {
        return 0;
    }
    const char* colon = std::strrchr(display, ':');
    const char* dot = colon ? std::strchr(colon, '.') : nullptr;
    return dot ? std::atoi(dot + 1) : 0;
}

xcb_screen_t* xcbScreen() {
    xcb_connection_t* c = xcbConnection();
    if (!c) {
        return nullptr;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    xcb_screen_t* first = it.data;
    for (int n = screenNumber(); it.rem > 0; xcb_screen_next(&it), --n) {
        if (n == 0) {
            return it.data;
        }
    }
    return first;
}

xcb_window_t rootWindow() {
    const xcb_screen_t* screen = xcbScreen();
    return screen ? screen->root : xcb_window_t{XCB_WINDOW_NONE};
}

xcb_atom_t internAtom(const char* name) {
    xcb_connection_t* c = xcbConnection();
    if (!c) {
        return XCB_ATOM_NONE;
    }
    const XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

bool compositorRunning() {
    xcb_connection_t* c = xcbConnection();
    if (!c) {
        return false;
    }
    const std::string name = "_NET_WM_CM_S" + std::to_string(screenNumber());
    const xcb_atom_t selection = internAtom(name.c_str());
    const XcbReply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
    return reply && reply->owner != XCB_WINDOW_NONE;
}

std::optional<std::uint32_t> cardinalProperty(xcb_window_t window, xcb_atom_t property, xcb_atom_t type) {
    xcb_connection_t* c = xcbConnection();
    if (!c || window == XCB_WINDOW_NONE || property == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    // The window may be gone by now: a failed read is an answer, not an error to report.
    const auto reply = takeReply<xcb_get_property_reply_t>(c, xcb_get_property(c, 0, window, property, type, 0, 1),
                                                           xcb_get_property_reply);
    if (!reply || reply->format != 32 || reply->type != type || xcb_get_property_value_length(reply.get()) < 4) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    std::memcpy(&value, xcb_get_property_value(reply.get()), sizeof value);
    return value;
}

} // namespace dimwell::x11
