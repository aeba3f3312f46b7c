#pragma once
// The real desktop on a Wayland compositor with layer shell: one instance of
// every port, handed to the core as DesktopPorts. The masks, their input and the
// displays run on a Wayland connection of Dimwell's own, dispatched from Qt's
// event loop; the window list comes from sway's IPC where sway answers, else
// from a script of Dimwell's inside KWin where KWin is on the session bus.
// Needs a QApplication (on Qt's Wayland platform, for the tray and dialogs).

#include "common/NotificationCenter.h"
#include "platform/ports/Desktop.h"
#include "platform/wayland/MaskRoster.h"

#include <memory>
#include <string>

namespace dimwell {
class AccessibilityApi;
class AccessibilityTrust;
class HotkeyService;
class InputService;
class WindowCapture;
class WindowServer;
} // namespace dimwell

namespace dimwell::x11 {
class DesktopWorkspace;
class KeyboardLayout;
class PlistBundle;
class PlistDefaults;
class QtAlerts;
class StderrLog;
} // namespace dimwell::x11

namespace dimwell::wayland {

class KWinWindows;
class QtEventPump;
class SwayWindowServer;
class WaylandConnection;
class WaylandDisplays;
class WaylandKeyboardLayout;
class WaylandWindowFactory;

class WaylandDesktop {
public:
    struct Options {
        /// The preferences file; empty for the user's usual one.
        std::string defaultsPath;
        bool logToStderr = false;
        bool logToSyslog = true;
    };

    /// Nothing, after a log line, when the compositor cannot be reached or
    /// lacks what the masks need.
    static std::unique_ptr<WaylandDesktop> create();
    static std::unique_ptr<WaylandDesktop> create(const Options& options);
    ~WaylandDesktop();
    WaylandDesktop(const WaylandDesktop&) = delete;
    WaylandDesktop& operator=(const WaylandDesktop&) = delete;

    DesktopPorts ports();
    LogSink& log();
    /// The compositor's keyboard layout, for naming keys.
    x11::KeyboardLayout& keyboardLayout();
    /// Which modes cannot work on this desktop and how they fall back, for the
    /// user; empty when every mode works.
    std::string missingModes() const;

private:
    WaylandDesktop(std::unique_ptr<x11::StderrLog> log, std::unique_ptr<WaylandConnection> connection,
                   const Options& options);

    // Declaration order is construction order: the log first, since every
    // other port may write to it, and it goes last; the connection outlives
    // every Wayland object made on it.
    std::unique_ptr<x11::StderrLog> log_;
    std::unique_ptr<WaylandConnection> connection_;
    std::unique_ptr<QtEventPump> pump_;
    std::unique_ptr<x11::PlistDefaults> defaults_;
    std::unique_ptr<x11::PlistBundle> bundle_;
    NotificationCenter notifications_;
    MaskRoster masks_;
    std::unique_ptr<WaylandDisplays> displays_;
    std::unique_ptr<WaylandWindowFactory> windowFactory_;
    std::unique_ptr<AccessibilityTrust> trust_;
    std::unique_ptr<x11::QtAlerts> alerts_;
    std::unique_ptr<x11::DesktopWorkspace> workspace_;
    std::unique_ptr<HotkeyService> hotkeys_;
    std::unique_ptr<SwayWindowServer> sway_;
    std::unique_ptr<KWinWindows> kwin_;
    std::unique_ptr<WindowServer> windowServer_;
    std::unique_ptr<InputService> input_;
    std::unique_ptr<AccessibilityApi> accessibility_;
    std::unique_ptr<WindowCapture> capture_;
    std::unique_ptr<WaylandKeyboardLayout> keyboard_;
};

} // namespace dimwell::wayland
