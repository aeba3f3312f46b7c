#include "platform/linux/keyboard/KeyboardLayout.h"

#include "platform/linux/keyboard/KeyTable.h"
#include "settings/NSMyTextField.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>

namespace dimwell::x11 {
namespace {

constexpr std::uint16_t kMod1 = 1u << 3;   // Alt, as X numbers the modifiers

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

KeyboardLayout::KeyboardLayout(LogSink* log) : log_(log), context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {}

KeyboardLayout::~KeyboardLayout() = default;

KeyboardLayout::Subscription KeyboardLayout::subscribe(std::function<void()> onChange) {
    auto listener = std::make_shared<std::function<void()>>(std::move(onChange));
    listeners_.push_back(listener);
    return listener;
}

void KeyboardLayout::changed() {
    std::erase_if(listeners_, [](const auto& listener) { return listener.expired(); });
    // A listener may subscribe or let go of another while it runs.
    const auto listeners = listeners_;
    for (const auto& weak : listeners) {
        if (const auto listener = weak.lock()) {
            (*listener)();
        }
    }
}

void KeyboardLayout::setKeymap(xkb_keymap* keymap, std::uint32_t group) {
    keymap_.reset(keymap);
    group_ = keymap ? group : 0;
    loadState();
    changed();
}

bool KeyboardLayout::setKeymapText(const std::string& text, std::uint32_t group) {
    xkb_keymap* keymap = context_ ? xkb_keymap_new_from_buffer(context_.get(), text.data(), text.size(),
                                                               XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS)
                                  : nullptr;
    if (!keymap) {
        note("keyboard: the keymap does not compile; keys are named as on a US keyboard");
    }
    setKeymap(keymap, group);
    return keymap != nullptr;
}

void KeyboardLayout::setGroup(std::uint32_t group) {
    if (!keymap_ || group == group_) {
        return;
    }
    group_ = group;
    loadState();
    changed();
}

void KeyboardLayout::loadState() {
    plain_.reset(keymap_ ? xkb_state_new(keymap_.get()) : nullptr);
    altGrMask_ = 0;
    if (!plain_) {
        return;
    }
    const xkb_mod_index_t numLock = xkb_keymap_mod_get_index(keymap_.get(), XKB_MOD_NAME_NUM);
    const xkb_mod_mask_t locked = numLock == XKB_MOD_INVALID ? 0 : (1u << numLock);
    xkb_state_update_mask(plain_.get(), 0, 0, locked, 0, 0, group_);

    // The modifier AltGr sets: press it on a scratch state and look.
    if (const std::optional<KeyCode> altGr = keyTyping(XKB_KEY_ISO_Level3_Shift)) {
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

std::uint32_t KeyboardLayout::keysym(KeyCode keycode) const {
    return plain_ ? xkb_state_key_get_one_sym(plain_.get(), keycode) : XKB_KEY_NoSymbol;
}

std::optional<KeyCode> KeyboardLayout::keyTyping(std::uint32_t sym) const {
    if (!keymap_) {
        return std::nullopt;
    }
    const xkb_keycode_t last = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(keymap_.get()), 255);
    for (xkb_keycode_t k = xkb_keymap_min_keycode(keymap_.get()); k <= last; ++k) {
        if (keysym(static_cast<KeyCode>(k)) == sym) {
            return static_cast<KeyCode>(k);
        }
    }
    return std::nullopt;
}

std::optional<KeyCode> KeyboardLayout::physicalKey(std::uint32_t virtualKey) const {
    const std::string name(xkbKeyName(virtualKey));
    if (name.empty()) {
        return std::nullopt;
    }
    if (!keymap_) {
        // An evdev keyboard is the likeliest.
        const std::optional<std::uint32_t> key = xKeycodeForVirtualKey(virtualKey);
        return key ? std::optional<KeyCode>(static_cast<KeyCode>(*key)) : std::nullopt;
    }
    const xkb_keycode_t key = xkb_keymap_key_by_name(keymap_.get(), name.c_str());
    if (key == XKB_KEYCODE_INVALID || key > 255 || xkb_keymap_num_layouts_for_key(keymap_.get(), key) == 0) {
        return std::nullopt;
    }
    return static_cast<KeyCode>(key);
}

std::optional<std::uint32_t> KeyboardLayout::virtualKeyOf(KeyCode keycode) const {
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
std::optional<KeyCode> KeyboardLayout::keyFor(std::uint32_t virtualKey, std::string_view character) const {
    const std::optional<KeyCode> key = physicalKey(virtualKey);
    if (isLatinLetter(character)) {
        // Latin letter keysyms are their lower-case ASCII codes.
        const auto letter = static_cast<std::uint32_t>(character[0] | 0x20);
        if (!key || keysym(*key) != letter) {
            if (const std::optional<KeyCode> moved = keyTyping(letter)) {
                return moved;
            }
        }
    }
    return key;
}

std::string KeyboardLayout::characters(KeyCode keycode) const {
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
    const std::optional<KeyCode> key = keyFor(virtualKey, character);
    if (!key) {
        return std::string(character.empty() ? name : character);
    }
    std::string text = characters(*key);
    if (text.empty()) {
        text = name;
    }
    return keyLabel(static_cast<std::uint16_t>(virtualKey), text);
}

bool KeyboardLayout::isModifierKey(KeyCode keycode) const {
    if (const std::optional<std::uint32_t> vk = virtualKeyOf(keycode); vk && x11::isModifierKey(*vk)) {
        return true;
    }
    const xkb_keysym_t sym = keysym(keycode);
    return (sym >= XKB_KEY_Shift_L && sym <= XKB_KEY_Hyper_R) ||
           (sym >= XKB_KEY_ISO_Lock && sym <= XKB_KEY_ISO_Last_Group_Lock) || sym == XKB_KEY_Mode_switch ||
           sym == XKB_KEY_Num_Lock;
}

} // namespace dimwell::x11
