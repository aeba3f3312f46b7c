#include "platform/x11/input/X11InputService.h"

#include "platform/linux/keyboard/KeyTable.h"
#include "platform/linux/ScreenSpace.h"
#include "platform/x11/XcbReply.h"

#include <QCoreApplication>
#include <QTimer>

#include <xcb/xfixes.h>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <cmath>
#include <exception>

namespace dimwell::x11 {

namespace {
constexpr std::uint32_t kEscapeKeysym = 0xff1b;
constexpr std::uint16_t kAllButtonsMask = XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3 |
                                          XCB_BUTTON_MASK_4 | XCB_BUTTON_MASK_5;

std::uint16_t buttonMask(std::uint8_t button) {
    return button >= 1 && button <= 5 ? static_cast<std::uint16_t>(XCB_BUTTON_MASK_1 << (button - 1)) : 0;
}

std::int16_t toCoordinate(double v) { return static_cast<std::int16_t>(std::lround(v)); }
} // namespace

X11InputService::X11InputService(xcb_connection_t* connection, xcb_window_t root, LogSink& log)
    : connection_(connection), root_(root), log_(log), keyboard_(connection), mappingChanges_(connection),
      taps_(log_, [this] { tapsChanged(); }) {
    if (const xcb_query_extension_reply_t* xi = xcb_get_extension_data(connection_, &xcb_input_id);
        xi && xi->present) {
        xinputOpcode_ = xi->major_opcode;
    } else {
        log_("XInput 2 is missing: pointer moves cannot be watched");
    }
    // XFixes answers cursor requests only after the client announced its version.
    const XcbReply<xcb_xfixes_query_version_reply_t> fixes(xcb_xfixes_query_version_reply(
        connection_, xcb_xfixes_query_version(connection_, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
        nullptr));
    if (!fixes || fixes->major_version < 4) {
        log_("XFixes 4 is missing: the cursor cannot be hidden");
    }
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11InputService::~X11InputService() {
    setButtonGrab(false);
    setEscapeGrab(false);
    setRawMotion(false);
    if (pointerFreeze_) {
        answer(pointerFreeze_, pointerFreeze_->time, XCB_ALLOW_REPLAY_POINTER);
    }
    if (keyboardFreeze_) {
        answer(keyboardFreeze_, keyboardFreeze_->time, XCB_ALLOW_REPLAY_KEYBOARD);
    }
    if (pointerGrabActive_ || pointerCaptured_) {
        xcb_ungrab_pointer(connection_, XCB_CURRENT_TIME);
    }
    if (keyboardGrabActive_) {
        xcb_ungrab_keyboard(connection_, XCB_CURRENT_TIME);
    }
    showCursor();
    xcb_flush(connection_);
}

std::unique_ptr<EventTap> X11InputService::createTap(std::uint64_t eventMask, TapCallback callback) {
    return taps_.create(eventMask, std::move(callback));
}

void X11InputService::tapsChanged() {
    setButtonGrab(taps_.anyWants(leftMouseDownMask));
    setEscapeGrab(taps_.anyWants(keyDownMask));
    setRawMotion(taps_.anyWants(mouseMovedMask | leftMouseDraggedMask));
}

Point X11InputService::topLeft(std::int16_t rootX, std::int16_t rootY) const {
    return ScreenSpace::current().rootToTopLeft(rootX, rootY);
}

void X11InputService::freeze(std::optional<Freeze>& slot, xcb_timestamp_t time, std::uint8_t replay) {
    slot = Freeze{time, replay};
    QTimer::singleShot(kAnswerDeadline, &timerContext_, [this, &slot, time] {
        if (slot && slot->time == time) {
            log_("event tap did not answer in time; the event goes on");
            answer(slot, time, slot->replay);
        }
    });
}

bool X11InputService::answer(std::optional<Freeze>& slot, xcb_timestamp_t time, std::uint8_t mode) {
    if (!slot || slot->time != time) {
        return false;
    }
    slot.reset();
    xcb_allow_events(connection_, mode, time);
    xcb_flush(connection_);
    return true;
}

void X11InputService::buttonPressed(const xcb_button_press_event_t* e) {
    if (e->detail != XCB_BUTTON_INDEX_1) {
        // Another button during our own active grab: not frozen, and nobody else
        // may have it while the swallowed press is still held.
        return;
    }
    // Answered even when we believe our grab is active already: an answer to a
    // device that is not frozen is ignored by the server, a missing one freezes it.
    freeze(pointerFreeze_, e->time, XCB_ALLOW_REPLAY_POINTER);
    TapVerdict verdict = TapVerdict::Pass;
    try {
        verdict = taps_.dispatch({EventType::LeftMouseDown, topLeft(e->root_x, e->root_y), 0});
    } catch (...) {
        verdict = TapVerdict::Pass;
    }
    const bool swallow = verdict == TapVerdict::Swallow;
    if (answer(pointerFreeze_, e->time, swallow ? XCB_ALLOW_ASYNC_POINTER : XCB_ALLOW_REPLAY_POINTER) && swallow) {
        pointerGrabActive_ = true;
    }
}

void X11InputService::buttonReleased(const xcb_button_release_event_t* e) {
    if (e->detail == XCB_BUTTON_INDEX_1) {
        taps_.dispatch({EventType::LeftMouseUp, topLeft(e->root_x, e->root_y), 0});
    }
    // The grab ends with the release of the last button held (state is from before the release).
    if ((e->state & kAllButtonsMask & ~buttonMask(e->detail)) == 0) {
        pressGrabEnded();
    }
}

void X11InputService::pointerMoved(const xcb_motion_notify_event_t* e) {
    if (e->state & XCB_BUTTON_MASK_1) {
        taps_.dispatch({EventType::LeftMouseDragged, topLeft(e->root_x, e->root_y), 0});
    }
}

void X11InputService::rawMotion() {
    const XcbReply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr));
    if (!pointer) {
        return;
    }
    if (pointerGrabActive_) {
        if (pointer->mask & kAllButtonsMask) {
            return;   // the grab reports these moves itself, with their positions
        }
        pressGrabEnded();   // it ended without our seeing the release
    }
    const EventType type = (pointer->mask & XCB_BUTTON_MASK_1) ? EventType::LeftMouseDragged : EventType::MouseMoved;
    taps_.dispatch({type, topLeft(pointer->root_x, pointer->root_y), 0});
}

bool X11InputService::isEscapePress(const xcb_key_press_event_t* e) const {
    // Every modifier state is grabbed, so the held modifiers tell nothing here.
    return e->event == root_ &&
           std::find(escapeKeycodes_.begin(), escapeKeycodes_.end(), e->detail) != escapeKeycodes_.end();
}

void X11InputService::escapePressed(const xcb_key_press_event_t* e) {
    const std::int64_t keyCode = virtualKeyForXKeycode(e->detail).value_or(53);
    const InputEvent event{EventType::KeyDown, topLeft(e->root_x, e->root_y), keyCode};
    // Auto-repeat inside our own grab is not frozen and its answer is ignored;
    // answering every press keeps a wrong belief from freezing the keyboard.
    freeze(keyboardFreeze_, e->time, XCB_ALLOW_REPLAY_KEYBOARD);
    TapVerdict verdict = TapVerdict::Pass;
    try {
        verdict = taps_.dispatch(event);
    } catch (...) {
        verdict = TapVerdict::Pass;
    }
    const bool swallow = verdict == TapVerdict::Swallow;
    if (answer(keyboardFreeze_, e->time, swallow ? XCB_ALLOW_ASYNC_KEYBOARD : XCB_ALLOW_REPLAY_KEYBOARD)) {
        keyboardGrabActive_ = swallow;
    }
}

bool X11InputService::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & 0x7f) {
    case XCB_BUTTON_PRESS: {
        // Only our synchronous grab reports presses on the root to this client;
        // each one must be answered.
        const auto* e = reinterpret_cast<const xcb_button_press_event_t*>(event);
        if (e->event != root_) {
            return false;
        }
        buttonPressed(e);
        return true;
    }
    // Releases and moves on the root come only from the active grab of a
    // swallowed press (nothing here selects them on the root). They are taken
    // whatever pointerGrabActive_ says: a raw move read after the release may
    // already have cleared it, and the release must still end the drag.
    case XCB_BUTTON_RELEASE: {
        const auto* e = reinterpret_cast<const xcb_button_release_event_t*>(event);
        if (e->event != root_) {
            return false;
        }
        buttonReleased(e);
        return true;
    }
    case XCB_MOTION_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_motion_notify_event_t*>(event);
        if (e->event != root_) {
            return false;
        }
        pointerMoved(e);
        return true;
    }
    case XCB_KEY_PRESS: {
        const auto* e = reinterpret_cast<const xcb_key_press_event_t*>(event);
        if (!isEscapePress(e)) {
            return false;
        }
        escapePressed(e);
        return true;
    }
    case XCB_KEY_RELEASE: {
        const auto* e = reinterpret_cast<const xcb_key_release_event_t*>(event);
        if (e->event != root_ ||
            std::find(escapeKeycodes_.begin(), escapeKeycodes_.end(), e->detail) == escapeKeycodes_.end()) {
            return false;
        }
        keyboardGrabActive_ = false;
        return true;
    }
    case XCB_GE_GENERIC: {
        const auto* ge = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
        if (xinputOpcode_ && ge->extension == *xinputOpcode_ && ge->event_type == XCB_INPUT_RAW_MOTION) {
            rawMotion();
        }
        return false;   // others in this program may watch raw motion too
    }
    default:
        if (mappingChanges_.isMappingChange(event)) {
            keyboard_.refresh();
            tapsChanged();   // Escape may sit on other keys now
        }
        return false;   // the toolkit needs to see keyboard changes too
    }
}

void X11InputService::setButtonGrab(bool on) {
    if (on == buttonGrabbed_) {
        return;
    }
    if (!on) {
        xcb_ungrab_button(connection_, XCB_BUTTON_INDEX_1, root_, XCB_MOD_MASK_ANY);
        xcb_flush(connection_);
        buttonGrabbed_ = false;
        return;
    }
    const std::uint16_t events = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                 XCB_EVENT_MASK_POINTER_MOTION;
    const xcb_void_cookie_t cookie =
        xcb_grab_button_checked(connection_, 0, root_, events, XCB_GRAB_MODE_SYNC, XCB_GRAB_MODE_ASYNC,
                                XCB_NONE, XCB_NONE, XCB_BUTTON_INDEX_1, XCB_MOD_MASK_ANY);
    if (!requestSucceeded(connection_, cookie)) {
        log_("the left mouse button is held by another program");
        return;
    }
    buttonGrabbed_ = true;
}

void X11InputService::setEscapeGrab(bool on) {
    if (!on) {
        ungrabKeys(connection_, root_, escapeGrabs_);
        escapeGrabs_.clear();
        escapeAsked_.clear();
        return;
    }
    // Escape with whatever the user happens to hold: Shift, Control, Alt and Super
    // in every combination, each with every lock state.
    std::vector<std::uint16_t> modifierSets;
    for (const std::uint16_t locks : keyboard_.lockCombinations()) {
        for (std::uint16_t held = 0; held < 16; ++held) {
            std::uint16_t m = locks;
            m |= (held & 1) ? XCB_MOD_MASK_SHIFT : 0;
            m |= (held & 2) ? XCB_MOD_MASK_CONTROL : 0;
            m |= (held & 4) ? XCB_MOD_MASK_1 : 0;   // Alt
            m |= (held & 8) ? XCB_MOD_MASK_4 : 0;   // Super
            modifierSets.push_back(m);
        }
    }
    const std::vector<KeyGrab> wanted = keyGrabs(keyboard_.keycodesFor(kEscapeKeysym), modifierSets);
    // Asked already: a combination another program holds (a window manager's
    // Alt+Escape) is not asked for, nor reported, again on every change of taps.
    if (wanted == escapeAsked_) {
        return;
    }
    escapeAsked_ = wanted;
    ungrabKeys(connection_, root_, escapeGrabs_);
    GrabResult result = grabKeys(connection_, root_, wanted, XCB_GRAB_MODE_SYNC);
    escapeGrabs_ = std::move(result.grabbed);
    for (const KeyGrab& g : escapeGrabs_) {
        if (std::find(escapeKeycodes_.begin(), escapeKeycodes_.end(), g.keycode) == escapeKeycodes_.end()) {
            escapeKeycodes_.push_back(g.keycode);
        }
    }
    if (!result.refused.empty()) {
        log_("Escape is held by another program with %zu of its modifier combinations", result.refused.size());
    }
}

void X11InputService::capturePointer() {
    if (pointerCaptured_) {
        return;
    }
    if (ungrabAtRelease_) {
        ungrabAtRelease_ = false;   // still ours from the last capture
        pointerCaptured_ = true;
        return;
    }
    // Presses, releases and drags come to the root for the taps; plain moves keep
    // arriving through raw motion. The cursor stays as it is (hidden by XFixes).
    const std::uint16_t events = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                 XCB_EVENT_MASK_BUTTON_MOTION;
    const XcbReply<xcb_grab_pointer_reply_t> reply(xcb_grab_pointer_reply(
        connection_,
        xcb_grab_pointer(connection_, 0, root_, events, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE,
                         XCB_NONE, XCB_CURRENT_TIME),
        nullptr));
    if (!reply || reply->status != XCB_GRAB_STATUS_SUCCESS) {
        log_("the pointer is held by another program: windows under the veil still see it move");
        return;
    }
    pointerCaptured_ = true;
}

void X11InputService::releasePointer() {
    if (!pointerCaptured_) {
        return;   // never ours: an ungrab would end another grab of this program
    }
    pointerCaptured_ = false;
    if (pointerGrabActive_) {
        // A swallowed press is still held: its release stays ours, as without a
        // capture, instead of reaching a window that never saw the press.
        ungrabAtRelease_ = true;
        return;
    }
    xcb_ungrab_pointer(connection_, XCB_CURRENT_TIME);
    xcb_flush(connection_);
}

void X11InputService::pressGrabEnded() {
    pointerGrabActive_ = false;
    if (ungrabAtRelease_) {
        ungrabAtRelease_ = false;
        xcb_ungrab_pointer(connection_, XCB_CURRENT_TIME);
        xcb_flush(connection_);
    }
}

void X11InputService::setRawMotion(bool on) {
    if (on == rawMotionSelected_ || !xinputOpcode_) {
        return;
    }
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, on ? std::uint32_t{XCB_INPUT_XI_EVENT_MASK_RAW_MOTION} : 0u};
    if (!requestSucceeded(connection_, xcb_input_xi_select_events_checked(connection_, root_, 1, &selection.head))) {
        log_("pointer moves cannot be watched");
        return;
    }
    rawMotionSelected_ = on;
}

void X11InputService::postMouseMoved(Point location) {
    const Point root = ScreenSpace::current().topLeftToRoot(location);
    xcb_test_fake_input(connection_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_, toCoordinate(root.x),
                        toCoordinate(root.y), 0);
    xcb_flush(connection_);
}

Point X11InputService::mouseLocation() const {
    const XcbReply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr));
    if (!pointer) {
        return {};
    }
    return ScreenSpace::current().rootToCocoa(pointer->root_x, pointer->root_y);
}

void X11InputService::hideCursor() {
    if (cursorHidden_) {
        return;
    }
    xcb_xfixes_hide_cursor(connection_, root_);
    xcb_flush(connection_);
    cursorHidden_ = true;
}

void X11InputService::showCursor() {
    if (!cursorHidden_) {
        return;
    }
    xcb_xfixes_show_cursor(connection_, root_);
    xcb_flush(connection_);
    cursorHidden_ = false;
}

} // namespace dimwell::x11
