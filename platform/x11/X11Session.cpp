#include "platform/x11/X11Session.h"

#include "platform/x11/XcbReply.h"
#include "platform/x11/XcbUtil.h"
#include "platform/x11/windows/WindowStack.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/res.h>

#include <memory>

namespace dimwell::x11 {

namespace {

/// The X Resource extension's idea of who made `window`: works for old clients
/// that set no _NET_WM_PID.
std::int32_t pidFromXRes(xcb_connection_t* c, xcb_window_t window) {
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_res_id);
    if (!ext || !ext->present) {
        return 0;
    }
    xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    const auto reply = takeReply<xcb_res_query_client_ids_reply_t>(c, xcb_res_query_client_ids(c, 1, &spec),
                                                                   xcb_res_query_client_ids_reply);
    if (!reply) {
        return 0;
    }
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem > 0; xcb_res_client_id_value_next(&it)) {
        if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
            xcb_res_client_id_value_value_length(it.data) >= 1) {
            return static_cast<std::int32_t>(*xcb_res_client_id_value_value(it.data));
        }
    }
    return 0;
}

} // namespace

bool X11Trust::isTrusted() const { return xcbConnection() != nullptr; }

X11Workspace::X11Workspace(std::string processName, LogSink& log)
    : DesktopWorkspace(std::move(processName), log, activeWindowProcess) {}

std::int32_t activeWindowProcess() {
    xcb_connection_t* c = xcbConnection();
    if (!c) {
        return 0;
    }
    const auto active = cardinalProperty(rootWindow(), internAtom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW);
    if (!active || *active == XCB_WINDOW_NONE) {
        return 0;
    }
    const auto netPid = cardinalProperty(*active, internAtom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
    if (netPid && *netPid > 0) {
        return static_cast<std::int32_t>(*netPid);
    }
    return pidFromXRes(c, *active);
}

void activateThroughWindowManager(QWidget& window) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return;
    }
    if (const std::shared_ptr<WindowStack> stack = WindowStack::fromQt()) {
        stack->activate(static_cast<xcb_window_t>(window.winId()));
    }
}

} // namespace dimwell::x11
