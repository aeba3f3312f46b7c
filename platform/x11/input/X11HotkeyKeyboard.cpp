#include "platform/x11/input/X11HotkeyKeyboard.h"

#include "platform/x11/XcbReply.h"

#include <xcb/xcb_keysyms.h>

#include <algorithm>

namespace dimwell::x11 {

namespace {
constexpr std::uint32_t kNumLockKeysym = 0xff7f;
constexpr std::uint16_t kKeyModifierBits = 0xff;   // Shift, Lock, Control, Mod1..Mod5
// XKB event subtypes, from the second byte of every XKB event.
constexpr std::uint8_t kXkbNewKeyboardNotify = 0;
constexpr std::uint8_t kXkbMapNotify = 1;
} // namespace

KeyboardMap::KeyboardMap(xcb_connection_t* connection) : connection_(connection) {}

KeyboardMap::~KeyboardMap() {
    if (symbols_) {
        xcb_key_symbols_free(symbols_);
    }
}

void KeyboardMap::refresh() {
    if (symbols_) {
        xcb_key_symbols_free(symbols_);
        symbols_ = nullptr;
    }
    numLockMask_.reset();
}

std::vector<xcb_keycode_t> KeyboardMap::keycodesFor(std::uint32_t keysym) {
    if (!symbols_) {
        symbols_ = xcb_key_symbols_alloc(connection_);
    }
    std::vector<xcb_keycode_t> result;
    const XcbReply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols_, keysym));
    for (const xcb_keycode_t* k = codes.get(); k && *k != XCB_NO_SYMBOL; ++k) {
        if (std::find(result.begin(), result.end(), *k) == result.end()) {
            result.push_back(*k);
        }
    }
    return result;
}

std::uint32_t KeyboardMap::keysymFor(xcb_keycode_t keycode) {
    if (!symbols_) {
        symbols_ = xcb_key_symbols_alloc(connection_);
    }
    return xcb_key_symbols_get_keysym(symbols_, keycode, 0);
}

std::uint16_t KeyboardMap::numLockMask() {
    if (numLockMask_) {
        return *numLockMask_;
    }
    std::uint16_t mask = 0;
    const std::vector<xcb_keycode_t> numLockKeys = keycodesFor(kNumLockKeysym);
    const XcbReply<xcb_get_modifier_mapping_reply_t> map(
        xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr));
    if (map && !numLockKeys.empty()) {
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map.get());
        const int perModifier = map->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8 && mask == 0; ++modifier) {
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t k = codes[modifier * perModifier + i];
                if (k != 0 && std::find(numLockKeys.begin(), numLockKeys.end(), k) != numLockKeys.end()) {
                    mask = static_cast<std::uint16_t>(1u << modifier);
                    break;
                }
            }
        }
    }
    numLockMask_ = mask;
    return mask;
}

std::vector<std::uint16_t> KeyboardMap::lockCombinations() {
    const std::uint16_t caps = XCB_MOD_MASK_LOCK;
    const std::uint16_t num = numLockMask();
    std::vector<std::uint16_t> result{0, caps};
    if (num != 0 && num != caps) {
        result.push_back(num);
        result.push_back(static_cast<std::uint16_t>(caps | num));
    }
    return result;
}

std::uint16_t KeyboardMap::shortcutModifiers(std::uint16_t state) {
    return static_cast<std::uint16_t>(state & kKeyModifierBits & ~(XCB_MOD_MASK_LOCK | numLockMask()));
}

std::vector<KeyGrab> keyGrabs(const std::vector<xcb_keycode_t>& keycodes, const std::vector<std::uint16_t>& modifierSets) {
    std::vector<KeyGrab> result;
    for (const xcb_keycode_t keycode : keycodes) {
        for (const std::uint16_t modifiers : modifierSets) {
            result.push_back({keycode, modifiers});
        }
    }
    return result;
}

GrabResult grabKeys(xcb_connection_t* connection, xcb_window_t root, const std::vector<KeyGrab>& grabs,
                    std::uint8_t keyboardMode) {
    // Send every request first and collect the answers after: one round trip.
    std::vector<std::pair<KeyGrab, xcb_void_cookie_t>> pending;
    for (const KeyGrab& g : grabs) {
        // Not owner_events: the press reaches us even when one of our own windows
        // has the focus, as a global shortcut should.
        pending.emplace_back(g, xcb_grab_key_checked(connection, 0, root, g.modifiers, g.keycode,
                                                     XCB_GRAB_MODE_ASYNC, keyboardMode));
    }
    GrabResult result;
    for (const auto& [grab, cookie] : pending) {
        const XcbReply<xcb_generic_error_t> error(xcb_request_check(connection, cookie));
        (error ? result.refused : result.grabbed).push_back(grab);
    }
    return result;
}

void ungrabKeys(xcb_connection_t* connection, xcb_window_t root, const std::vector<KeyGrab>& grabs) {
    // Only this client's own grabs are released; those of others stay untouched.
    for (const KeyGrab& g : grabs) {
        xcb_ungrab_key(connection, g.keycode, root, g.modifiers);
    }
    xcb_flush(connection);
}

MappingChangeFilter::MappingChangeFilter(xcb_connection_t* connection) {
    static constexpr char kName[] = "XKEYBOARD";
    const XcbReply<xcb_query_extension_reply_t> reply(xcb_query_extension_reply(
        connection, xcb_query_extension(connection, sizeof kName - 1, kName), nullptr));
    if (reply && reply->present) {
        xkbFirstEvent_ = reply->first_event;
    }
}

bool MappingChangeFilter::isMappingChange(const xcb_generic_event_t* event) const {
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_mapping_notify_event_t*>(event);
        return notify->request == XCB_MAPPING_MODIFIER || notify->request == XCB_MAPPING_KEYBOARD;
    }
    if (xkbFirstEvent_ && type == *xkbFirstEvent_) {
        const std::uint8_t xkbType = reinterpret_cast<const std::uint8_t*>(event)[1];
        return xkbType == kXkbNewKeyboardNotify || xkbType == kXkbMapNotify;
    }
    return false;
}

} // namespace dimwell::x11
