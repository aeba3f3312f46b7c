#pragma once
// The session's side of the overlay on X: trust, the active program, and
// raising a window of ours through the window manager.

#include "common/Log.h"
#include "platform/linux/session/DesktopWorkspace.h"
#include "platform/ports/Session.h"

#include <cstdint>
#include <string>

class QWidget;

namespace dimwell::x11 {

/// Any client of an X server may watch input and read other programs' windows:
/// once connected, the program is trusted.
class X11Trust : public AccessibilityTrust {
public:
    bool isTrusted() const override;
};

/// The workspace whose active program owns _NET_ACTIVE_WINDOW.
class X11Workspace : public DesktopWorkspace {
public:
    X11Workspace(std::string processName, LogSink& log);
};

/// The process owning _NET_ACTIVE_WINDOW: from _NET_WM_PID, or from the X
/// Resource extension for clients that set none; 0 when there is none.
std::int32_t activeWindowProcess();

/// Raises and focuses `window` as a pager would, since a program in the
/// background may not take the focus by itself; nothing off X.
void activateThroughWindowManager(QWidget& window);

} // namespace dimwell::x11
