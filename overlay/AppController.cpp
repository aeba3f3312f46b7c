#include "overlay/AppController.h"

#include "app/Preferences.h"
#include "platform/ports/Defaults.h"
#include "platform/ports/MaskSurface.h"
#include "platform/ports/Session.h"

namespace dimwell {

namespace {

constexpr const char* kAlertTitle = "Enable Access for Assistive Devices";
constexpr const char* kAlertMessage =
    "Dimwell makes use of accessibility features built into Mac OS that are currently disabled on your computer. "
    "To turn on these features, please click the button below to open Universal Access settings and check the "
    "option labeled \"Enable access for assistive devices.\"\n";
constexpr const char* kAlertDefaultButton = "Open Universal Access";
constexpr const char* kAlertAlternateButton = "Close";
constexpr const char* kAccessibilitySettings = "/System/Library/PreferencePanes/UniversalAccessPref.prefPane";

} // namespace

AppController::AppController(const DesktopPorts& ports)
    : ports_(ports), log_(ports.log), prefs_(ports.defaults) {
    addedObserver_ = false;
    bringToFrontMode_ = boolForKey(prefs_, prefkey::bringToFront);
    allWindows_.reserve(2);
    clickOut_ = boolForKey(prefs_, prefkey::clickOut);
    singleMonitorOnly_ = boolForKey(prefs_, prefkey::currentOnly);
    resetDisplays();
    overlayVisible_ = false;
    opacityObserver_ = ObserverRegistration(
        ports_.notifications, ports_.notifications.addObserver(notification::opacityChange, [this] { updateOpacity(); }));

    createKeyDownTapIfTrusted();
    eventTapDrag_ = createTap(leftMouseDraggedMask, &AppController::mouseDraggedCallback);
    eventTapMouseDown_ = createTap(leftMouseDownMask, &AppController::mouseDownCallback);
    eventTapMouseUp_ = createTap(leftMouseUpMask, &AppController::mouseUpCallback);
    eventTapMove_ = createTap(mouseMovedMask, &AppController::mouseMovedCallback);

    alertShown_ = false;
    ports_.displays.setReconfigurationCallback(
        [this](DisplayId display, std::uint32_t flags) { displayReconfigured(display, flags); });
    ports_.hotkeys.installHandler([this](HotKeyId id) { hotkeyPressed(id); });
    if (!ports_.trust.isTrusted()) {
        showAccessibilityAlert();
    }
}

AppController::~AppController() {
    // The platform must not call back into a controller that is gone.
    ports_.displays.setReconfigurationCallback({});
    ports_.hotkeys.installHandler({});
    ports_.input.releasePointer();
    stopHotkeys();
    shutOffObserver();
    for (const auto& window : allWindows_) {
        window->close();
    }
}

void AppController::resetDisplays() {
    const std::vector<DisplayInfo> displays = ports_.displays.activeDisplays();
    for (const auto& window : allWindows_) {
        window->close();
    }
    allWindows_.clear();

    const DisplayId mainId = ports_.displays.mainDisplayId();
    double Hd = 0.0;
    for (const DisplayInfo& d : displays) {
        if (d.id == mainId) {
            Hd = d.bounds.height;
        }
    }

    for (std::size_t i = 0; i < displays.size(); ++i) {
        const DisplayInfo& d = displays[i];
        const Rect frame = topLeftToCocoa(d.bounds, Hd);
        if (d.inMirrorSet) {
            log_("display %d in mirror", static_cast<int>(i));
            if (d.mirrorsDisplay != 0) {
                log_("not main mirror display");
                continue;
            }
            log_("main mirror display");
        } else {
            log_("display %d not in mirror", static_cast<int>(i));
        }
        std::unique_ptr<CustomWindow> window = CustomWindow::initWithContentRect(frame, ports_.windowFactory, prefs_);
        if (!window) {
            log_("no mask window for display %d", static_cast<int>(i));
            continue;
        }
        window->setMydelegate(this);
        window->customView().setOverlayOpacity(floatForKey(prefs_, prefkey::opacity));
        window->setShieldingLevel();
        window->setIgnoresMouseEvents(true);
        window->setCollectionBehavior(CollectionBehavior::Transient);
        window->orderOut();
        allWindows_.push_back(std::move(window));
    }
}

void AppController::displayReconfigured(DisplayId display, std::uint32_t /*flags*/) {
    log_("config changed");
    if (display == ports_.displays.mainDisplayId()) {
        // The selection's windows are about to go: end it rather than keep the
        // pointer and a hidden cursor for a veil nobody sees.
        if (dragStart_) {
            closeOverlay();
        }
        resetDisplays();
    }
}

void AppController::setUpWindowsForRect(const Rect& rect) {
    if (!ports_.trust.isTrusted()) {
        return;
    }
    for (const auto& window : allWindows_) {
        window->orderOut();
    }
    for (std::size_t i = 0; i < allWindows_.size(); ++i) {
        CustomWindow& w = *allWindows_[i];
        w.customView().setOverlay(false);
        w.customView().setMyRect({});
        if (singleMonitorOnly_) {
            w.orderOut();
        } else {
            w.orderFront();
        }
        w.setIgnoresMouseEvents(true);
        const Rect frame = w.frame();
        if (intersects(frame, rect)) {
            if (singleMonitorOnly_) {
                w.orderFront();
            }
            w.customView().setMyRect({rect.x - frame.x, rect.y - frame.y, rect.width, rect.height});
            currentWindow_ = static_cast<std::int64_t>(i);
        }
        w.display();
    }
    overlayVisible_ = true;
    if (clickOut_) {
        enableTap(eventTapMouseDown_.get(), true);
    }
}

void AppController::closeOverlay() {
    shutOffObserver();
    if (ports_.trust.isTrusted()) {
        createKeyDownTapIfTrusted();
        enableTap(eventTapKeyDown_.get(), false);
    }
    enableTap(eventTapMouseDown_.get(), false);
    stopDragMode();
    for (const auto& window : allWindows_) {
        window->orderOut();
    }
    overlayVisible_ = false;
    log_("close overlay");
}

void AppController::increaseOpacity() {
    setFloat(prefs_, prefkey::opacity, steppedOpacity(prefs_, 0.1));
    updateOpacity();
}

void AppController::decreaseOpacity() {
    setFloat(prefs_, prefkey::opacity, steppedOpacity(prefs_, -0.1));
    updateOpacity();
}

void AppController::updateOpacity() {
    if (!dragStart_) {
        log_("updating opacity...");
        const float opacity = floatForKey(prefs_, prefkey::opacity);
        for (const auto& window : allWindows_) {
            window->customView().setOverlayOpacity(opacity);
            window->display();
        }
    }
    ports_.notifications.post(notification::updateSettingsOpacity);
}

void AppController::setCrossColor(const Color& color) {
    for (const auto& window : allWindows_) {
        window->setCrossColor(color);
    }
    for (const auto& window : allWindows_) {
        window->setNeedsDisplay();
    }
}

void AppController::showAccessibilityAlert() {
    if (alertShown_) {
        return;
    }
    alertShown_ = true;
    if (ports_.alerts.runCriticalAlert(kAlertTitle, kAlertMessage, kAlertDefaultButton, kAlertAlternateButton)) {
        ports_.workspace.openFile(kAccessibilitySettings);
    }
    alertShown_ = false;
}

const std::optional<HotKeyHandle>& AppController::hotKeyRef(int id) const {
    static const std::optional<HotKeyHandle> none;
    switch (id) {
    case 1: return gMyHotKeyRef1;
    case 2: return gMyHotKeyRef2;
    case 3: return gMyHotKeyRef3;
    case 4: return gMyHotKeyRef4;
    case 5: return gMyHotKeyRef5;
    case 6: return gMyHotKeyRef6;
    case 7: return gMyHotKeyRef7;
    case 8: return gMyHotKeyRef8;
    default: return none;
    }
}

} // namespace dimwell
