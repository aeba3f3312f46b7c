#pragma once
// Event taps on X: what each kind of tap becomes, and why.
//
// left-mouse-down  A synchronous passive grab of button 1 (any modifiers) on the
//                  root window while a tap wants presses. The server freezes the
//                  pointer at each press and hands it to us first; the callback
//                  decides: Pass answers ReplayPointer (the press goes on to the
//                  window under the pointer as if we had not been there, window
//                  manager grabs included), Swallow answers AsyncPointer (no other
//                  program sees it, and the grab stays active until the button is
//                  released, so the drag and the release come to us alone).
// left-mouse-dragged, left-mouse-up
//                  The motion with button 1 held and the release of that active
//                  grab. A release after a swallowed press has nobody to be passed
//                  to, so its verdict changes nothing. Drags of other programs
//                  (outside our grab) are seen through raw motion, observed only.
// mouse-moved      XInput 2 raw motion on the root (delivered whatever grabs are
//                  active), with the pointer position and buttons queried. Only an
//                  observation: X cannot hold back one motion event without
//                  grabbing the whole pointer from every program, so a swallowed
//                  move still reaches the window below, unless the pointer is
//                  captured (below).
// key-down         Escape, the one key a key-down tap acts on, grabbed with every
//                  combination of Shift, Control, Alt and Super and of the locks,
//                  in synchronous keyboard mode: Pass answers ReplayKeyboard (the
//                  key goes to the focused window), Swallow answers AsyncKeyboard
//                  (no one else sees it, its release comes to us). A combination
//                  another program holds stays theirs. Other keys are never
//                  intercepted.
// Pointer capture  An active pointer grab on the root: while it lasts no other
//                  window gets motion, crossings or clicks, and presses, drags
//                  and releases come to the root as with a swallowed press. A
//                  pointer another program has grabbed is left to it.
// Timeout notice   X has no equivalent: the server never disables a grab for a
//                  slow client. Instead a frozen device is answered by us after
//                  kAnswerDeadline even if the callback has not returned (it may
//                  sit in a nested event loop), with Replay: nothing is lost.
//
// Every frozen press is answered, also when the callback throws or the tap went
// away in the meantime; an unanswered synchronous grab would freeze the pointer or
// keyboard of the whole desktop.
//
// The cursor is hidden and shown with XFixes on the root window, which works for
// a program in the background, so allowBackgroundCursorHiding has nothing to do.
// Hide and show are idempotent here: the server keeps a per-client hide count that
// must never drift, and the overlay shows the cursor more often than it hides it.

#include "common/Log.h"
#include "platform/ports/EventTaps.h"
#include "platform/ports/TapSet.h"
#include "platform/x11/input/X11HotkeyKeyboard.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <xcb/xcb.h>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

namespace dimwell::x11 {

class X11InputService final : public InputService, private QAbstractNativeEventFilter {
public:
    static constexpr std::chrono::milliseconds kAnswerDeadline{400};

    /// `connection` must be the toolkit's own: its events are read through the
    /// application's native event filter.
    X11InputService(xcb_connection_t* connection, xcb_window_t root, LogSink& log);
    ~X11InputService() override;
    X11InputService(const X11InputService&) = delete;
    X11InputService& operator=(const X11InputService&) = delete;

    std::unique_ptr<EventTap> createTap(std::uint64_t eventMask, TapCallback callback) override;
    void postMouseMoved(Point location) override;
    Point mouseLocation() const override;
    bool isCursorVisible() const override { return !cursorHidden_; }
    void allowBackgroundCursorHiding() override {}
    void hideCursor() override;
    void showCursor() override;
    void capturePointer() override;
    void releasePointer() override;

private:
    /// A frozen device waiting for our answer, named by the time of its event.
    struct Freeze {
        xcb_timestamp_t time = 0;
        std::uint8_t replay = 0;
    };

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    void tapsChanged();
    Point topLeft(std::int16_t rootX, std::int16_t rootY) const;

    void buttonPressed(const xcb_button_press_event_t* e);
    void buttonReleased(const xcb_button_release_event_t* e);
    void pointerMoved(const xcb_motion_notify_event_t* e);
    void rawMotion();
    bool isEscapePress(const xcb_key_press_event_t* e) const;
    void escapePressed(const xcb_key_press_event_t* e);
    /// The held buttons of a swallowed press are all up; a capture that ended
    /// meanwhile lets the pointer go now.
    void pressGrabEnded();

    /// Notes a frozen device and starts its deadline, after which it is answered
    /// with `replay`.
    void freeze(std::optional<Freeze>& slot, xcb_timestamp_t time, std::uint8_t replay);
    /// Answers a freeze with `mode`, once; false when the deadline answered it already.
    bool answer(std::optional<Freeze>& slot, xcb_timestamp_t time, std::uint8_t mode);

    void setButtonGrab(bool on);
    void setEscapeGrab(bool on);
    void setRawMotion(bool on);

    xcb_connection_t* connection_;
    xcb_window_t root_;
    Logger log_;
    KeyboardMap keyboard_;
    MappingChangeFilter mappingChanges_;
    std::optional<std::uint8_t> xinputOpcode_;
    QObject timerContext_;

    TapSet taps_;
    bool buttonGrabbed_ = false;
    bool rawMotionSelected_ = false;
    std::vector<KeyGrab> escapeGrabs_;
    std::vector<KeyGrab> escapeAsked_;   ///< what the grabs above were asked for, refusals included
    std::vector<xcb_keycode_t> escapeKeycodes_;   ///< every key ever grabbed as Escape
    bool pointerGrabActive_ = false;    ///< a swallowed press holds the pointer until release
    bool pointerCaptured_ = false;      ///< our active grab of the whole pointer
    bool ungrabAtRelease_ = false;      ///< capture ended while a swallowed press was held
    bool keyboardGrabActive_ = false;   ///< a swallowed Escape holds the keyboard until release
    std::optional<Freeze> pointerFreeze_;
    std::optional<Freeze> keyboardFreeze_;
    bool cursorHidden_ = false;
};

} // namespace dimwell::x11
