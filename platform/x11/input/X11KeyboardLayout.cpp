#include "platform/x11/input/X11KeyboardLayout.h"

#include "platform/x11/XcbReply.h"

#include <QCoreApplication>

// xkb.h names a field "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

namespace dimwell::x11 {

X11KeyboardLayout::X11KeyboardLayout(xcb_connection_t* connection, LogSink* log)
    : KeyboardLayout(log), connection_(connection) {
    std::uint8_t firstEvent = 0;
    if (connection_ && context() &&
        xkb_x11_setup_xkb_extension(connection_, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                    XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &firstEvent, nullptr)) {
        xkbFirstEvent_ = firstEvent;
        device_ = xkb_x11_get_core_keyboard_device_id(connection_);
        // Adds to what the toolkit selected on this connection, takes nothing away.
        constexpr std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                                         XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
        constexpr std::uint16_t mapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS |
                                           XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_KEY_ACTIONS;
        xcb_xkb_select_events_details_t details{};
        details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
        details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
        details.affectState = XCB_XKB_STATE_PART_GROUP_STATE;
        details.stateDetails = XCB_XKB_STATE_PART_GROUP_STATE;
        const XcbReply<xcb_generic_error_t> error(xcb_request_check(
            connection_, xcb_xkb_select_events_aux_checked(connection_, static_cast<xcb_xkb_device_spec_t>(device_),
                                                           events, 0, 0, mapParts, mapParts, &details)));
        if (error) {
            note("keyboard: layout changes cannot be followed (XKB refused the event selection)");
        }
    } else {
        note("keyboard: no XKB on this display; keys are named as on a US keyboard");
    }
    reload();
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installNativeEventFilter(this);
    }
}

X11KeyboardLayout::~X11KeyboardLayout() = default;   // the filter base removes itself

void X11KeyboardLayout::reload() {
    if (!xkbFirstEvent_) {
        setKeymap(nullptr, 0);
        return;
    }
    xkb_keymap* keymap = xkb_x11_keymap_new_from_device(context(), connection_, device_, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) {
        note("keyboard: the keymap could not be read; keys are named as on a US keyboard");
        setKeymap(nullptr, 0);
        return;
    }
    xkb_state* live = xkb_x11_state_new_from_device(keymap, connection_, device_);
    const std::uint32_t group = live ? xkb_state_serialize_layout(live, XKB_STATE_LAYOUT_EFFECTIVE) : 0;
    xkb_state_unref(live);
    setKeymap(keymap, group);
}

bool X11KeyboardLayout::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_mapping_notify_event_t*>(event);
        if (notify->request == XCB_MAPPING_MODIFIER || notify->request == XCB_MAPPING_KEYBOARD) {
            reload();
        }
    } else if (xkbFirstEvent_ && type == *xkbFirstEvent_) {
        // Every XKB event starts alike: its kind in the second byte, the device after the time.
        const auto* any = reinterpret_cast<const xcb_xkb_state_notify_event_t*>(event);
        if (any->deviceID != device_) {
            return false;
        }
        if (any->xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || any->xkbType == XCB_XKB_MAP_NOTIFY) {
            reload();
        } else if (any->xkbType == XCB_XKB_STATE_NOTIFY && hasKeymap()) {
            setGroup(any->group);
        }
    }
    return false;   // the toolkit follows the keyboard too
}

} // namespace dimwell::x11
