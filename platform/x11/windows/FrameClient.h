#pragma once
// Which top-level windows are window-manager frames. Most window managers frame a
// client in an ordinary window, but some (fluxbox, i3) make their frames
// override-redirect, so override-redirect alone does not mark a popup. A frame is
// a top-level that holds, itself or a few levels down, the application window
// carrying WM_STATE; an override-redirect top-level holding none is a popup (a
// menu, tooltip, drag icon, or one of the overlay's own masks).

#include <xcb/xcb.h>

#include <vector>

namespace dimwell::x11 {

struct FrameClient {
    /// The window carrying WM_STATE at or below the top-level; none for popups and
    /// for windows no window manager looks after.
    xcb_window_t client = XCB_WINDOW_NONE;
    bool iconic = false;
};

/// A popup: override-redirect, and no window manager's frame.
constexpr bool isPopup(bool overrideRedirect, xcb_window_t client) {
    return overrideRedirect && client == XCB_WINDOW_NONE;
}

class FrameClients {
public:
    explicit FrameClients(xcb_connection_t* connection);

    /// The client held by each top-level, breadth first and topmost child first. One
    /// round of requests per level for all of them together; a window that vanishes
    /// meanwhile holds none.
    std::vector<FrameClient> of(const std::vector<xcb_window_t>& topLevels) const;

    /// isPopup() for one top-level, reading what it holds now when it is
    /// override-redirect (a few round trips), at once otherwise.
    bool isPopupWindow(xcb_window_t topLevel, bool overrideRedirect) const;

private:
    xcb_connection_t* c_;
    xcb_atom_t wmState_ = XCB_ATOM_NONE;
};

} // namespace dimwell::x11
