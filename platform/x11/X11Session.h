#pragma once
// The session's side of the overlay: trust, the one modal alert and the workspace.

#include "common/Log.h"
#include "platform/ports/Session.h"

#include <string>

namespace dimwell::x11 {

/// Any client of an X server may watch input and read other programs' windows:
/// once connected, the program is trusted.
class X11Trust : public AccessibilityTrust {
public:
    bool isTrusted() const override;
};

/// A modal critical message box.
class X11Alerts : public AlertPresenter {
public:
    bool runCriticalAlert(const std::string& title, const std::string& message, const std::string& defaultButton,
                          const std::string& alternateButton) override;
};

class X11Workspace : public Workspace {
public:
    /// `processName`: the name this program goes by when it is the active one.
    X11Workspace(std::string processName, LogSink& log);

    /// Opens with the desktop's handler. The accessibility settings pane opens
    /// the desktop's accessibility settings, when it has a known tool for them.
    bool openFile(const std::string& path) override;
    /// The program owning _NET_ACTIVE_WINDOW: its process from _NET_WM_PID, or
    /// from the X Resource extension for clients that set none; its name from
    /// /proc/<pid>/comm.
    ActiveApplication activeApplication() const override;

private:
    bool openAccessibilitySettings();

    std::string processName_;
    Logger log_;
};

/// The name of process `pid` as /proc/<pid>/comm gives it; empty when gone.
std::string processNameOf(std::int32_t pid);

} // namespace dimwell::x11
