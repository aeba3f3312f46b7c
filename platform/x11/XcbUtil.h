#pragma once
// Small helpers over Qt's own xcb connection: every request of the backend goes
// through the connection Qt reads events from, so replies and events stay in order.

#include "platform/x11/XcbReply.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <string>

namespace dimwell::x11 {

/// Qt's connection; nullptr when the program does not run on X.
xcb_connection_t* xcbConnection();
/// The X screen Qt connected to (the screen number of $DISPLAY).
xcb_screen_t* xcbScreen();
xcb_window_t rootWindow();
int screenNumber();
/// The atom named `name`, created when absent; XCB_ATOM_NONE on failure.
xcb_atom_t internAtom(const char* name);

/// A compositing manager owns _NET_WM_CM_S<screen>: only then are translucent
/// windows blended with what lies below.
bool compositorRunning();

/// The 32-bit CARDINAL or WINDOW property `property` of `window`, if set.
std::optional<std::uint32_t> cardinalProperty(xcb_window_t window, xcb_atom_t property, xcb_atom_t type);

} // namespace dimwell::x11
