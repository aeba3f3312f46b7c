#include "platform/x11/input/KeyboardLayout.h"

#include "platform/x11/input/KeyTable.h"
#include "platform/x11/XcbReply.h"
#include "settings/NSMyTextField.h"

#include <QCoreApplication>

// xkb.h names a field "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <iterator>

namespace dimwell::x11 {
namespace {

constexpr std::uint16_t kMod1 = XCB_MOD_MASK_1;   // Alt

// Dead keys type nothing by themselves; they are shown as the accent they add.
struct DeadKey {
    xkb_keysym_t keysym;
    const char* text;
};
constexpr DeadKey kDeadKeys[] = {
    {XKB_KEY_dead_grave, "`"},      {XKB_KEY_dead_acute, "\u00b4"},     {XKB_KEY_dead_circumflex, "^"},
    {XKB_KEY_dead_tilde, "~"},      {XKB_KEY_dead_diaeresis, "\u00a8"}, {XKB_KEY_dead_abovering, "\u00b0"},
    {XKB_KEY_dead_cedilla, "\u00b8"},
};

bool isLatinLetter(std::string_view s) {
    return s.size() == 1 && ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'));
}

} // namespace

void KeyboardLayout::Free::operator()(xkb_context* p) const { xkb_context_unref(p); }
void KeyboardLayout::Free::operator()(xkb_keymap* p) const { xkb_keymap_unref(p); }
void KeyboardLayout::Free::operator()(xkb_state* p) const { xkb_state_unref(p); }

KeyboardLayout::KeyboardLayout(xcb_connection_t* connection, LogSink* log)
    : connection_(connection), log_(log), context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {
    std::uint8_t firstEvent = 0;
    if (connection_ && context_ &&
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

KeyboardLayout::~KeyboardLayout() = default;   // the filter base removes itself

void KeyboardLayout::reload() {
    keymap_.reset();
    plain_.reset();
    group_ = 0;
    if (!xkbFirstEvent_) {
        return;
    }
    keymap_.reset(xkb_x11_keymap_new_from_device(context_.get(), connection_, device_, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap_) {
        note("keyboard: the keymap could not be read; keys are named as on a US keyboard");
        return;
    }
    const std::unique_ptr<xkb_state, Free> live(xkb_x11_state_new_from_device(keymap_.get(), connection_, device_));
    group_ = live ? xkb_state_serialize_layout(live.get(), XKB_STATE_LAYOUT_EFFECTIVE) : 0;
    loadState();
}

void KeyboardLayout::loadState() {
    plain_.reset(xkb_state_new(keymap_.get()));
    altGrMask_ = 0;
    if (!plain_) {
        return;
    }
    const xkb_mod_index_t numLock = xkb_keymap_mod_get_index(keymap_.get(), XKB_MOD_NAME_NUM);
    const xkb_mod_mask_t locked = numLock == XKB_MOD_INVALID ? 0 : (1u << numLock);
    xkb_state_update_mask(plain_.get(), 0, 0, locked, 0, 0, group_);

    // The modifier AltGr sets: press it on a scratch state and look.
    if (const std::optional<xcb_keycode_t> altGr = keyTyping(XKB_KEY_ISO_Level3_Shift)) {
        const std::unique_ptr<xkb_state, Free> scratch(xkb_state_new(keymap_.get()));
        if (scratch) {
            xkb_state_update_mask(scratch.get(), 0, 0, 0, 0, 0, group_);
            xkb_state_update_key(scratch.get(), *altGr, XKB_KEY_DOWN);
            const xkb_mod_mask_t held = xkb_state_serialize_mods(scratch.get(), XKB_STATE_MODS_DEPRESSED);
            const auto mask = static_cast<std::uint16_t>(held & 0xff);
            altGrMask_ = (mask & kMod1) ? 0 : mask;
        }
    }
}

void KeyboardLayout::note(std::string_view line) const {
    if (log_) {
        log_->write(line);
    }
}

std::uint32_t KeyboardLayout::keysym(xcb_keycode_t keycode) const {
    return plain_ ? xkb_state_key_get_one_sym(plain_.get(), keycode) : XKB_KEY_NoSymbol;
}

std::optional<xcb_keycode_t> KeyboardLayout::keyTyping(std::uint32_t sym) const {
    if (!keymap_) {
        return std::nullopt;
    }
    const xkb_keycode_t last = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(keymap_.get()), 255);
    for (xkb_keycode_t k = xkb_keymap_min_keycode(keymap_.get()); k <= last; ++k) {
        if (keysym(static_cast<xcb_keycode_t>(k)) == sym) {
            return static_cast<xcb_keycode_t>(k);
        }
    }
    return std::nullopt;
}

std::optional<xcb_keycode_t> KeyboardLayout::physicalKey(std::uint32_t virtualKey) const {
    const std::string name(xkbKeyName(virtualKey));
    if (name.empty()) {
        return std::nullopt;
    }
    if (!keymap_) {
        return xKeycodeForVirtualKey(virtualKey);   // an evdev keyboard is the likeliest
    }
    const xkb_keycode_t key = xkb_keymap_key_by_name(keymap_.get(), name.c_str());
    if (key == XKB_KEYCODE_INVALID || key > 255 || xkb_keymap_num_layouts_for_key(keymap_.get(), key) == 0) {
        return std::nullopt;
    }
    return static_cast<xcb_keycode_t>(key);
}

std::optional<std::uint32_t> KeyboardLayout::virtualKeyOf(xcb_keycode_t keycode) const {
    if (!keymap_) {
        return virtualKeyForXKeycode(keycode);
    }
    const char* name = xkb_keymap_key_get_name(keymap_.get(), keycode);
    return name ? virtualKeyForXkbName(name) : std::nullopt;
}

// Which key a stored shortcut is pressed on. A stored code names a physical key,
// and that key is used, whatever it types. One exception, so that the shortcuts
// the tutorial teaches by letter work everywhere, as letter shortcuts do on
// Linux desktops: when the stored character is a Latin letter that the active
// layout types on another key (AZERTY, QWERTZ, Dvorak), the shortcut follows
// the letter. A layout without Latin letters (Russian, Greek) keeps the
// physical key.
std::optional<xcb_keycode_t> KeyboardLayout::keyFor(std::uint32_t virtualKey, std::string_view character) const {
    const std::optional<xcb_keycode_t> key = physicalKey(virtualKey);
    if (isLatinLetter(character)) {
        // Latin letter keysyms are their lower-case ASCII codes.
        const auto letter = static_cast<std::uint32_t>(character[0] | 0x20);
        if (!key || keysym(*key) != letter) {
            if (const std::optional<xcb_keycode_t> moved = keyTyping(letter)) {
                return moved;
            }
        }
    }
    return key;
}

std::string KeyboardLayout::characters(xcb_keycode_t keycode) const {
    const xkb_keysym_t sym = keysym(keycode);
    if (sym == XKB_KEY_NoSymbol) {
        return {};
    }
    for (const DeadKey& dead : kDeadKeys) {
        if (dead.keysym == sym) {
            return dead.text;
        }
    }
    char text[16] = {};
    int size = xkb_keysym_to_utf8(xkb_keysym_to_upper(sym), text, sizeof text);
    if (size <= 1) {
        size = xkb_keysym_to_utf8(sym, text, sizeof text);   // ß has no upper case of its own
    }
    const auto first = static_cast<unsigned char>(text[0]);
    if (size <= 1 || first < 0x20 || first == 0x7f) {
        return {};   // nothing, or a control character (Return, Tab, Escape, Delete)
    }
    return text;
}

std::string KeyboardLayout::label(std::uint32_t virtualKey, std::string_view character) const {
    const std::string_view name = keyName(virtualKey);
    const std::optional<xcb_keycode_t> key = keyFor(virtualKey, character);
    if (!key) {
        return std::string(character.empty() ? name : character);
    }
    std::string text = characters(*key);
    if (text.empty()) {
        text = name;
    }
    return keyLabel(static_cast<std::uint16_t>(virtualKey), text);
}

bool KeyboardLayout::isModifierKey(xcb_keycode_t keycode) const {
    if (const std::optional<std::uint32_t> vk = virtualKeyOf(keycode); vk && x11::isModifierKey(*vk)) {
        return true;
    }
    const xkb_keysym_t sym = keysym(keycode);
    return (sym >= XKB_KEY_Shift_L && sym <= XKB_KEY_Hyper_R) ||
           (sym >= XKB_KEY_ISO_Lock && sym <= XKB_KEY_ISO_Last_Group_Lock) || sym == XKB_KEY_Mode_switch ||
           sym == XKB_KEY_Num_Lock;
}

bool KeyboardLayout::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7f;
    bool changed = false;
    if (type == XCB_MAPPING_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_mapping_notify_event_t*>(event);
        if (notify->request == XCB_MAPPING_MODIFIER || notify->request == XCB_MAPPING_KEYBOARD) {
            reload();
            changed = true;
        }
    } else if (xkbFirstEvent_ && type == *xkbFirstEvent_) {
        // Every XKB event starts alike: its kind in the second byte, the device after the time.
        const auto* any = reinterpret_cast<const xcb_xkb_state_notify_event_t*>(event);
        if (any->deviceID != device_) {
            return false;
        }
        if (any->xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || any->xkbType == XCB_XKB_MAP_NOTIFY) {
            reload();
            changed = true;
        } else if (any->xkbType == XCB_XKB_STATE_NOTIFY && keymap_ && any->group != group_) {
            group_ = any->group;
            loadState();
            changed = true;
        }
    }
    if (changed && onChange_) {
        onChange_();
    }
    return false;   // the toolkit follows the keyboard too
}

} // namespace dimwell::x11
