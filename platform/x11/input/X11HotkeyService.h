#pragma once
// Global hotkeys as passive key grabs on the root window. A shortcut is grabbed on
// the physical key its code names (or, for a letter, the key the active layout
// types it on: KeyboardLayout::keyFor) and with every combination of the lock
// keys (CapsLock, NumLock), since X matches a grab's modifiers exactly. The grabs
// follow the keyboard when its keymap or active layout changes. Presses reach the
// handler through the toolkit's native event filter, on the main thread.

#include "common/Log.h"
#include "platform/ports/Hotkeys.h"
#include "platform/x11/input/X11KeyboardLayout.h"
#include "platform/x11/input/X11HotkeyKeyboard.h"

#include <QAbstractNativeEventFilter>

#include <xcb/xcb.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace dimwell::x11 {

class X11HotkeyService final : public HotkeyService, private QAbstractNativeEventFilter {
public:
    /// `connection` must be the toolkit's own: its events are read through the
    /// application's native event filter.
    X11HotkeyService(xcb_connection_t* connection, xcb_window_t root, LogSink& log);
    ~X11HotkeyService() override;
    X11HotkeyService(const X11HotkeyService&) = delete;
    X11HotkeyService& operator=(const X11HotkeyService&) = delete;

    std::optional<HotKeyHandle> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, HotKeyId id,
                                               const std::string& character) override;
    void unregisterHotKey(HotKeyHandle handle) override;
    void installHandler(Handler handler) override;

    /// The X modifier bits of a registration's modifier sum.
    static std::uint16_t xModifiers(std::uint32_t modifiers);
    /// "Control+Shift+Z", for log lines.
    static std::string describe(std::uint32_t keyCode, std::uint32_t modifiers);

private:
    struct Registration {
        std::uint32_t keyCode = 0;
        std::uint32_t modifiers = 0;
        HotKeyId id;
        std::string character;
        std::vector<KeyGrab> grabs;
    };

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    /// The grabs this registration needs with the keyboard as it is now.
    std::vector<KeyGrab> wantedGrabs(const Registration& r);
    /// Grabs all of `wanted` or nothing; false when another program holds one.
    bool grabAll(Registration& r, const std::vector<KeyGrab>& wanted);
    void regrabAll();
    const Registration* match(xcb_keycode_t keycode, std::uint16_t state);
    void keyPressed(xcb_keycode_t keycode, std::uint16_t state, xcb_timestamp_t time);
    bool keyReleased(xcb_keycode_t keycode, xcb_timestamp_t time);

    xcb_connection_t* connection_;
    xcb_window_t root_;
    Logger log_;
    KeyboardMap keyboard_;
    X11KeyboardLayout layout_;
    KeyboardLayout::Subscription layoutWatch_;
    std::map<HotKeyHandle, Registration> registrations_;
    HotKeyHandle nextHandle_ = 1;
    Handler handler_;
    std::set<xcb_keycode_t> held_;   ///< keys whose press fired and whose release is still to come
    std::optional<std::pair<xcb_keycode_t, xcb_timestamp_t>> lastRelease_;
};

} // namespace dimwell::x11
