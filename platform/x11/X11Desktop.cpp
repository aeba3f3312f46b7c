#include "platform/x11/X11Desktop.h"

#include "platform/x11/accessibility/AtspiAccessibility.h"
#include "platform/x11/masks/MaskWindow.h"
#include "platform/linux/prefs/PlistBundle.h"
#include "platform/linux/prefs/PlistDefaults.h"
#include "platform/linux/session/StderrLog.h"
#include "platform/x11/windows/WindowStack.h"
#include "platform/x11/X11Displays.h"
#include "platform/x11/input/X11HotkeyService.h"
#include "platform/x11/input/X11InputService.h"
#include "platform/x11/X11Session.h"
#include "platform/linux/session/QtAlerts.h"
#include "platform/x11/capture/X11WindowCapture.h"
#include "platform/x11/windows/X11WindowServer.h"
#include "platform/x11/XcbUtil.h"

namespace dimwell::x11 {

X11Desktop::X11Desktop() : X11Desktop(Options{{}, StderrLog::stderrWanted(), true}) {}

X11Desktop::X11Desktop(const Options& options)
    : log_(std::make_unique<StderrLog>(options.logToStderr, options.logToSyslog)),
      defaults_(std::make_unique<PlistDefaults>(
          options.defaultsPath.empty() ? PlistDefaults::defaultPath() : options.defaultsPath, *log_)),
      bundle_(std::make_unique<PlistBundle>(*log_)),
      displays_(std::make_unique<X11Displays>(*log_)),
      windowFactory_(std::make_unique<X11WindowFactory>(*displays_, *log_)),
      trust_(std::make_unique<X11Trust>()),
      alerts_(std::make_unique<QtAlerts>()),
      workspace_(std::make_unique<X11Workspace>(bundle_->processName(), *log_)),
      hotkeys_(std::make_unique<X11HotkeyService>(xcbConnection(), rootWindow(), *log_)),
      input_(std::make_unique<X11InputService>(xcbConnection(), rootWindow(), *log_)),
      windowServer_(std::make_unique<X11WindowServer>(WindowStack::fromQt())),
      accessibility_(std::make_unique<AtspiAccessibility>(WindowStack::fromQt(), *log_)),
      capture_(std::make_unique<X11WindowCapture>(xcbConnection())) {}

X11Desktop::~X11Desktop() = default;

LogSink& X11Desktop::log() { return *log_; }

DesktopPorts X11Desktop::ports() {
    return DesktopPorts{
        *defaults_, *bundle_,  *log_,   notifications_, *displays_,      *windowFactory_, *trust_,
        *alerts_,   *workspace_, *hotkeys_, *input_,      *windowServer_, *accessibility_, *capture_,
    };
}

} // namespace dimwell::x11
