#pragma once
// The one overlay controller: the mask windows per display, showing and closing the
// overlay, opacity, global hotkeys, event taps with selection mode and click-out,
// the three automatic ways of choosing the hole, and window tracking.
//
// The operations are spread over overlay/*.cpp by concern; this header is the whole
// state, so every concern sees the same fields.

#include "common/Geometry.h"
#include "common/Log.h"
#include "common/NotificationCenter.h"
#include "mask/CustomWindow.h"
#include "platform/ports/Accessibility.h"
#include "platform/ports/Desktop.h"
#include "platform/ports/Displays.h"
#include "platform/ports/EventTaps.h"
#include "platform/ports/Hotkeys.h"
#include "platform/ports/WindowList.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dimwell {

class AppControllerDelegate {
public:
    virtual ~AppControllerDelegate() = default;
    virtual void setClickOut(bool on) = 0;
    /// Something the user should know that no alert is worth: a passing message.
    virtual void tellUser(const std::string& /*title*/, const std::string& /*text*/) {}
};

/// Names the process that a mode brings to the front.
struct ProcessSerialNumber {
    std::uint32_t highLongOfPSN = 0;
    std::uint32_t lowLongOfPSN = 0;
};

/// The window chosen by the window-under-pointer search.
struct ChosenWindow {
    WindowInfo info;
    Rect rect;   ///< Cocoa space
};

/// What window, view and pattern mode find under the pointer.
struct PointerTarget {
    ChosenWindow chosen;
    AXElementRef matched;   ///< the first accessibility window containing the pointer, if any
    Point pointer;          ///< Cocoa space
    double H = 0.0;
};

/// The active application's main window (or its first window), when it is not this program.
struct ActiveMainWindow {
    std::int32_t pid = 0;
    AXElementRef window;   ///< nothing when the application shows no readable window
};

/// Which trace the window-under-pointer search leaves in the log.
enum class SearchLog { Entries, WindowIds, None };

namespace notification {
inline constexpr const char* opacityChange = "opacitychange";
inline constexpr const char* updateSettingsOpacity = "updatesettingsopacity";
inline constexpr const char* toggleClickOut = "toggleclickout";
} // namespace notification

/// The veil's opacity while selection mode runs.
inline constexpr float kSelectionOpacity = 0.5f;

class AppController : public CustomWindowDelegate {
public:
    /// Reads the switches, builds the mask windows, creates the taps disabled,
    /// installs the hotkey handler and shows the accessibility alert when untrusted.
    explicit AppController(const DesktopPorts& ports);
    ~AppController() override;
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    // Core.
    void resetDisplays();
    void displayReconfigured(DisplayId display, std::uint32_t flags);
    void setUpWindowsForRect(const Rect& rect);
    void closeOverlay();
    void updateOpacity();
    void increaseOpacity();
    void decreaseOpacity();
    void setCrossColor(const Color& color);
    void showAccessibilityAlert();

    // Global hotkeys.
    void startHotkeys();
    void startHotkey(std::optional<HotKeyHandle>& slot, const std::string& modeName, std::uint32_t hotKeyId,
                     std::uint32_t signature);
    void stopHotkeys();
    void hotkeyPressed(HotKeyId id);

    // Event taps, selection mode and click-out.
    void setMouseInput();
    void startDragMode(Point location);
    void updateCrosshairs(Point location);
    void updateDragRect(Point location);
    void stopDragMode();
    void toggleClickOut();
    void toggleEventTap(bool on);
    void reEnableMouseUp();
    void reEnableMouseDown();
    void reEnableDrag();
    void reEnableMove();

    // Window, view and pattern mode.
    void focusWindow();
    void focusMainWindow();
    void focusViews();
    void focusMainView();
    void focusPattern();
    void focusMainPattern();

    // Window tracking.
    void shutOffObserver();
    void windowMovedCallback(const AXElementRef& element);

    // Properties.
    bool bringToFrontMode() const { return bringToFrontMode_; }
    void setBringToFrontMode(bool on) { bringToFrontMode_ = on; }
    bool clickOut() const { return clickOut_; }
    void setClickOut(bool on) { clickOut_ = on; }
    bool singleMonitorOnly() const { return singleMonitorOnly_; }
    void setSingleMonitorOnly(bool on) { singleMonitorOnly_ = on; }
    bool dragStart() const { return dragStart_; }
    std::int64_t currentWindow() const { return currentWindow_; }
    bool alertShown() const { return alertShown_; }
    bool overlayVisible() const { return overlayVisible_; }
    bool addedObserver() const { return addedObserver_; }
    Point chPoint() const { return chPoint_; }
    const std::vector<std::unique_ptr<CustomWindow>>& allWindows() const { return allWindows_; }
    AppControllerDelegate* delegate() const { return delegate_; }
    void setDelegate(AppControllerDelegate* d) { delegate_ = d; }
    const std::optional<HotKeyHandle>& hotKeyRef(int id) const;
    const EventTap* eventTapKeyDown() const { return eventTapKeyDown_.get(); }
    const EventTap* eventTapMove() const { return eventTapMove_.get(); }
    const EventTap* eventTapMouseDown() const { return eventTapMouseDown_.get(); }
    const EventTap* eventTapMouseUp() const { return eventTapMouseUp_.get(); }
    const EventTap* eventTapDrag() const { return eventTapDrag_.get(); }
    const AXElementRef& frontWindow() const { return frontWindow_; }

private:
    // Event taps.
    void createKeyDownTapIfTrusted();
    std::unique_ptr<EventTap> createTap(std::uint64_t mask, TapVerdict (AppController::*callback)(const InputEvent&));
    static void enableTap(EventTap* tap, bool on);
    TapVerdict keyDownCallback(const InputEvent& event);
    TapVerdict mouseMovedCallback(const InputEvent& event);
    TapVerdict mouseDraggedCallback(const InputEvent& event);
    TapVerdict mouseDownCallback(const InputEvent& event);
    TapVerdict mouseUpCallback(const InputEvent& event);
    TapVerdict clickOutTest(const InputEvent& event);
    void hideCursorIfVisible();

    // Window-under-pointer search and the accessibility walk shared by the modes.
    std::optional<ChosenWindow> windowUnderPointer(const std::vector<WindowInfo>& list, Point pointer, double H,
                                                   SearchLog trace);
    std::optional<PointerTarget> findPointerTarget(SearchLog trace);
    std::optional<ActiveMainWindow> activeMainWindow(bool logActiveApp);
    AXElementRef accessibilityWindowContaining(const std::vector<AXElementRef>& windows, Point pointer, double H);
    std::optional<Rect> elementRect(const AXElementRef& element, double H);
    Rect descendChildren(const AXElementRef& window, const Rect& bounds, Point pointer, double H);
    void tellOnceIfViewsUnreadable();
    void startTracking(std::int32_t pid);
    Rect captureAndDetect(std::uint32_t windowNumber, Point pointer, Point origin, const Rect& window);

    DesktopPorts ports_;
    Logger log_;

    std::vector<std::unique_ptr<CustomWindow>> allWindows_;
    ProcessSerialNumber interrupted_process_;
    std::optional<HotKeyHandle> gMyHotKeyRef1, gMyHotKeyRef2, gMyHotKeyRef3, gMyHotKeyRef4;
    std::optional<HotKeyHandle> gMyHotKeyRef5, gMyHotKeyRef6, gMyHotKeyRef7, gMyHotKeyRef8;
    std::unique_ptr<EventTap> eventTapDrag_;
    std::unique_ptr<EventTap> eventTapMove_;
    std::unique_ptr<EventTap> eventTapMouseUp_;
    std::unique_ptr<EventTap> eventTapMouseDown_;
    std::unique_ptr<EventTap> eventTapKeyDown_;
    AXElementRef frontWindow_;
    std::unique_ptr<AXObserver> observer_;
    AppControllerDelegate* delegate_ = nullptr;
    bool dragStart_ = false;
    bool clickOut_ = false;
    std::int64_t currentWindow_ = 0;
    bool overlayVisible_ = false;
    bool singleMonitorOnly_ = false;
    bool bringToFrontMode_ = false;
    bool addedObserver_ = false;
    Point chPoint_;
    Defaults& prefs_;
    bool alertShown_ = false;
    bool toldViewsUnreadable_ = false;
    ObserverRegistration opacityObserver_;
};

} // namespace dimwell
