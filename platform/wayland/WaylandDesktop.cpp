#include "platform/wayland/WaylandDesktop.h"

#include "platform/ports/Accessibility.h"
#include "platform/ports/Session.h"
#include "platform/ports/WindowCapture.h"
#include "platform/wayland/CompositorAccessibility.h"
#include "platform/wayland/QtEventPump.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandDisplays.h"
#include "platform/wayland/WaylandHotkeys.h"
#include "platform/wayland/WaylandInputService.h"
#include "platform/wayland/WaylandKeyboardLayout.h"
#include "platform/wayland/WaylandWindowFactory.h"
#include "platform/wayland/WaylandWindowList.h"
#include "platform/wayland/capture/WaylandWindowCapture.h"
#include "platform/wayland/kwin/KWinCompositorWindows.h"
#include "platform/wayland/kwin/KWinPointerInput.h"
#include "platform/wayland/kwin/KWinScript.h"
#include "platform/wayland/kwin/KWinWindowCapture.h"
#include "platform/wayland/kwin/KWinWindows.h"
#include "platform/wayland/sway/SwayCompositorWindows.h"
#include "platform/wayland/sway/SwayWindowServer.h"
#include "platform/linux/accessibility/AtspiViews.h"
#include "platform/linux/prefs/PlistBundle.h"
#include "platform/linux/prefs/PlistDefaults.h"
#include "platform/linux/session/DesktopWorkspace.h"
#include "platform/linux/session/QtAlerts.h"
#include "platform/linux/session/StderrLog.h"

#include <cstdlib>

namespace dimwell::wayland {

namespace {

/// The masks receive the pointer and the keyboard through the compositor;
/// nothing needs granting.
class WaylandTrust final : public AccessibilityTrust {
public:
    bool isTrusted() const override { return true; }
};

/// Without screen copies pattern mode finds no pattern and clears the whole window.
class NoCapture final : public WindowCapture {
public:
    std::optional<CapturedWindow> captureGray(std::uint32_t) override { return std::nullopt; }
};

std::unique_ptr<WindowCapture> windowCapture(WaylandConnection& connection, MaskRoster& masks,
                                             const WindowServer& windows, bool onKWin) {
    // KWin copies no screen for clients; it pictures an area for programs it trusts.
    if (onKWin) {
        return std::make_unique<KWinWindowCapture>(connection, masks, windows);
    }
    if (auto capture = WaylandWindowCapture::create(connection, masks, windows)) {
        return capture;
    }
    connection.log().write("Wayland: this compositor copies no screen contents (no wlr-screencopy): pattern mode "
                           "clears the whole window here");
    return std::make_unique<NoCapture>();
}

/// sway's window list when its IPC answers; nothing otherwise.
std::unique_ptr<SwayWindowServer> swayWindows(LogSink& log) {
    const char* socket = std::getenv("SWAYSOCK");
    if (socket && *socket) {
        auto sway = std::make_unique<SwayWindowServer>(log, socket);
        if (sway->available() && sway->tree()) {
            return sway;
        }
    }
    return nullptr;
}

/// KWin's window list when sway did not answer and KWin is on the session bus;
/// nothing otherwise.
std::unique_ptr<KWinWindows> kwinWindows(LogSink& log, const Bundle& bundle, bool swayAnswered) {
    if (swayAnswered) {
        return nullptr;
    }
    if (KWinScript::kwinRunning()) {
        const std::string script = bundle.resourcePath("kwin-windows", "js");
        if (!script.empty()) {
            return std::make_unique<KWinWindows>(log, QString::fromStdString(script));
        }
        log.write("KWin: the window script kwin-windows.js is not among the resources: window, view and pattern "
                  "modes find no windows here");
        return nullptr;
    }
    log.write("Wayland: this compositor tells no window list (neither sway's IPC nor KWin answers): window, view "
              "and pattern modes find no windows here");
    return nullptr;
}

std::unique_ptr<InputService> withKWinPointer(std::unique_ptr<InputService> masks, KWinWindows* kwin,
                                              std::function<double()> mainScreenHeight) {
    if (!kwin) {
        return masks;
    }
    return std::make_unique<KWinPointerInput>(std::move(masks), *kwin, std::move(mainScreenHeight));
}

std::unique_ptr<AccessibilityApi> withKWinWindows(std::unique_ptr<AccessibilityApi> accessible, KWinWindows* kwin) {
    if (!kwin) {
        return accessible;
    }
    return std::make_unique<CompositorAccessibility>(std::move(accessible),
                                                     std::make_unique<KWinCompositorWindows>(*kwin));
}

/// AT-SPI, with the compositor's windows to place what toolkits report relative
/// to them; on sway, windows, raising and tracking come from sway's tree.
std::unique_ptr<AccessibilityApi> accessibility(LogSink& log, const WindowServer& windows, SwayWindowServer* sway) {
    auto atspi = std::make_unique<x11::AtspiViews>(log);
    atspi->setWindowRectangles(&windows);
    if (sway) {
        return std::make_unique<CompositorAccessibility>(std::move(atspi), std::make_unique<SwayCompositorWindows>(*sway));
    }
    return atspi;
}

} // namespace

std::unique_ptr<WaylandDesktop> WaylandDesktop::create() {
    return create(Options{{}, x11::StderrLog::stderrWanted(), true});
}

std::unique_ptr<WaylandDesktop> WaylandDesktop::create(const Options& options) {
    auto log = std::make_unique<x11::StderrLog>(options.logToStderr, options.logToSyslog);
    std::unique_ptr<WaylandConnection> connection = WaylandConnection::connect(*log);
    if (!connection) {
        return nullptr;
    }
    return std::unique_ptr<WaylandDesktop>(new WaylandDesktop(std::move(log), std::move(connection), options));
}

WaylandDesktop::WaylandDesktop(std::unique_ptr<x11::StderrLog> log, std::unique_ptr<WaylandConnection> connection,
                               const Options& options)
    : log_(std::move(log)), connection_(std::move(connection)),
      pump_(std::make_unique<QtEventPump>(*connection_)),
      defaults_(std::make_unique<x11::PlistDefaults>(
          options.defaultsPath.empty() ? x11::PlistDefaults::defaultPath() : options.defaultsPath, *log_)),
      bundle_(std::make_unique<x11::PlistBundle>(*log_)),
      displays_(std::make_unique<WaylandDisplays>(*connection_)),
      windowFactory_(std::make_unique<WaylandWindowFactory>(*connection_, *displays_, &masks_)),
      trust_(std::make_unique<WaylandTrust>()),
      alerts_(std::make_unique<x11::QtAlerts>()),
      // No compositor-neutral way to learn the active window's program: sway's
      // tree or KWin's script names it (both made below, asked only later).
      workspace_(std::make_unique<x11::DesktopWorkspace>(bundle_->processName(), *log_,
                                                         [this]() -> std::int32_t {
                                                             return sway_   ? sway_->activeProcess()
                                                                    : kwin_ ? kwin_->activeProcess()
                                                                            : 0;
                                                         })),
      hotkeys_(std::make_unique<WaylandHotkeyService>(*log_)),
      sway_(swayWindows(*log_)),
      kwin_(kwinWindows(*log_, *bundle_, sway_ != nullptr)),
      windowServer_(std::make_unique<WaylandWindowList>(
          *connection_, masks_, sway_ ? static_cast<const WindowServer*>(sway_.get()) : kwin_.get())),
      input_(withKWinPointer(
          std::make_unique<WaylandInputService>(
              *connection_, masks_, [displays = displays_.get()] { return displays->mainScreenHeight(); },
              sway_.get()),
          kwin_.get(), [displays = displays_.get()] { return displays->mainScreenHeight(); })),
      accessibility_(withKWinWindows(accessibility(*log_, *windowServer_, sway_.get()), kwin_.get())),
      capture_(windowCapture(*connection_, masks_, *windowServer_, kwin_ != nullptr)),
      keyboard_(std::make_unique<WaylandKeyboardLayout>(*connection_, log_.get())) {}

WaylandDesktop::~WaylandDesktop() = default;

LogSink& WaylandDesktop::log() { return *log_; }

x11::KeyboardLayout& WaylandDesktop::keyboardLayout() { return *keyboard_; }

std::string WaylandDesktop::missingModes() const {
    std::string lacks;
    const auto add = [&lacks](const char* what) { lacks += (lacks.empty() ? "" : "; ") + std::string(what); };
    if (!sway_ && !kwin_) {
        add("no window list, so window, view and pattern modes find no windows");
    } else {
        if (dynamic_cast<const NoCapture*>(capture_.get())) {
            add("no screen copies, so pattern mode clears whole windows");
        }
        if (!accessibility_->viewsReadable()) {
            add("no accessibility bus, so view mode clears whole windows");
        }
    }
    return lacks.empty() ? lacks : "This desktop offers " + lacks + ".";
}

DesktopPorts WaylandDesktop::ports() {
    return DesktopPorts{
        *defaults_, *bundle_,    *log_,     notifications_, *displays_,      *windowFactory_, *trust_,
        *alerts_,   *workspace_, *hotkeys_, *input_,        *windowServer_, *accessibility_, *capture_,
    };
}

} // namespace dimwell::wayland
