#pragma once
// The real desktop: one instance of every port on X11, handed to the core as
// DesktopPorts. Needs a QApplication connected to an X server.

#include "common/NotificationCenter.h"
#include "platform/ports/Desktop.h"

#include <memory>
#include <string>

namespace dimwell {
class AccessibilityApi;
class HotkeyService;
class InputService;
class WindowCapture;
class WindowServer;
} // namespace dimwell

namespace dimwell::x11 {

class MaskContext;
class PlistBundle;
class PlistDefaults;
class StderrLog;
class QtAlerts;
class X11Displays;
class X11Trust;
class X11WindowFactory;
class X11Workspace;

class X11Desktop {
public:
    struct Options {
        /// The preferences file; empty for the user's usual one.
        std::string defaultsPath;
        bool logToStderr = false;
        bool logToSyslog = true;
    };

    X11Desktop();
    explicit X11Desktop(const Options& options);
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    DesktopPorts ports();

    LogSink& log();
    PlistDefaults& defaults() { return *defaults_; }
    X11Displays& displays() { return *displays_; }

private:
    // Declaration order is construction order: the log first, since every
    // other port may write to it, and it goes last.
    std::unique_ptr<StderrLog> log_;
    std::unique_ptr<PlistDefaults> defaults_;
    std::unique_ptr<PlistBundle> bundle_;
    NotificationCenter notifications_;
    std::unique_ptr<X11Displays> displays_;
    std::unique_ptr<X11WindowFactory> windowFactory_;
    std::unique_ptr<X11Trust> trust_;
    std::unique_ptr<QtAlerts> alerts_;
    std::unique_ptr<X11Workspace> workspace_;
    std::unique_ptr<HotkeyService> hotkeys_;
    std::unique_ptr<InputService> input_;
    std::unique_ptr<WindowServer> windowServer_;
    std::unique_ptr<AccessibilityApi> accessibility_;
    std::unique_ptr<WindowCapture> capture_;
};

} // namespace dimwell::x11
