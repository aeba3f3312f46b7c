#include "platform/x11/input/X11HotkeyService.h"

#include "platform/linux/keyboard/KeyTable.h"

#include <QCoreApplication>

#include <algorithm>
#include <exception>

namespace dimwell::x11 {

X11HotkeyService::X11HotkeyService(xcb_connection_t* connection, xcb_window_t root, LogSink& log)
    : connection_(connection), root_(root), log_(log), keyboard_(connection), layout_(connection, &log) {
    layoutWatch_ = layout_.subscribe([this] { regrabAll(); });
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11HotkeyService::~X11HotkeyService() {
    for (const auto& [handle, r] : registrations_) {
        ungrabKeys(connection_, root_, r.grabs);
    }
    // The filter base removes itself from the application.
}

std::uint16_t X11HotkeyService::xModifiers(std::uint32_t modifiers) {
    std::uint16_t x = 0;
    if (modifiers & controlKey) x |= XCB_MOD_MASK_CONTROL;
    if (modifiers & optionKey) x |= XCB_MOD_MASK_1;   // Alt
    if (modifiers & shiftKey) x |= XCB_MOD_MASK_SHIFT;
    if (modifiers & cmdKey) x |= XCB_MOD_MASK_4;      // Super
    return x;
}

std::string X11HotkeyService::describe(std::uint32_t keyCode, std::uint32_t modifiers) {
    std::string text;
    if (modifiers & controlKey) text += "Control+";
    if (modifiers & optionKey) text += "Alt+";
    if (modifiers & shiftKey) text += "Shift+";
    if (modifiers & cmdKey) text += "Super+";
    const std::string_view name = keyName(keyCode);
    return name.empty() ? text + "key " + std::to_string(keyCode) : text + std::string(name);
}

std::vector<KeyGrab> X11HotkeyService::wantedGrabs(const Registration& r) {
    const std::optional<xcb_keycode_t> key = layout_.keyFor(r.keyCode, r.character);
    if (!key) {
        return {};
    }
    const std::uint16_t plain = xModifiers(r.modifiers);
    std::vector<std::uint16_t> modifiers{plain};
    if ((r.modifiers & optionKey) && layout_.altGrMask() != 0) {
        // AltGr counts as Option, as it did when the shortcut was recorded.
        modifiers.push_back(static_cast<std::uint16_t>((plain & ~XCB_MOD_MASK_1) | layout_.altGrMask()));
    }
    std::vector<std::uint16_t> sets;
    for (const std::uint16_t m : modifiers) {
        for (const std::uint16_t locks : keyboard_.lockCombinations()) {
            sets.push_back(static_cast<std::uint16_t>(m | locks));
        }
    }
    return keyGrabs({*key}, sets);
}

bool X11HotkeyService::grabAll(Registration& r, const std::vector<KeyGrab>& wanted) {
    GrabResult result = grabKeys(connection_, root_, wanted, XCB_GRAB_MODE_ASYNC);
    if (!result.refused.empty()) {
        // All or nothing: a shortcut that works only with NumLock off would be a trap.
        ungrabKeys(connection_, root_, result.grabbed);
        r.grabs.clear();
        return false;
    }
    r.grabs = std::move(result.grabbed);
    return true;
}

std::optional<HotKeyHandle> X11HotkeyService::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                                             HotKeyId id, const std::string& character) {
    const std::string name = describe(keyCode, modifiers);
    if (!xKeycodeForVirtualKey(keyCode)) {
        log_("hotkey %s names no known key", name.c_str());
        return std::nullopt;
    }
    Registration r{keyCode, modifiers, id, character, {}};
    const std::vector<KeyGrab> wanted = wantedGrabs(r);
    if (wanted.empty()) {
        log_("hotkey %s has no key on this keyboard", name.c_str());
        return std::nullopt;
    }
    // Grabbing again what we already hold would succeed and silently merge the two
    // registrations; the first one keeps the shortcut.
    for (const auto& [other, existing] : registrations_) {
        for (const KeyGrab& g : wanted) {
            if (std::find(existing.grabs.begin(), existing.grabs.end(), g) != existing.grabs.end()) {
                log_("hotkey %s is already registered", name.c_str());
                return std::nullopt;
            }
        }
    }
    if (!grabAll(r, wanted)) {
        log_("hotkey %s is held by another program", name.c_str());
        return std::nullopt;
    }
    const HotKeyHandle handle = nextHandle_++;
    registrations_.emplace(handle, std::move(r));
    return handle;
}

void X11HotkeyService::unregisterHotKey(HotKeyHandle handle) {
    const auto it = registrations_.find(handle);
    if (it == registrations_.end()) {
        return;
    }
    ungrabKeys(connection_, root_, it->second.grabs);
    registrations_.erase(it);
}

void X11HotkeyService::installHandler(Handler handler) { handler_ = std::move(handler); }

void X11HotkeyService::regrabAll() {
    keyboard_.refresh();
    for (auto& [handle, r] : registrations_) {
        const std::vector<KeyGrab> wanted = wantedGrabs(r);
        if (wanted == r.grabs) {
            continue;
        }
        ungrabKeys(connection_, root_, r.grabs);
        r.grabs.clear();
        // Kept even when refused or keyless now: the next change may bring it back.
        if (wanted.empty()) {
            log_("hotkey %s has no key on this keyboard", describe(r.keyCode, r.modifiers).c_str());
        } else if (!grabAll(r, wanted)) {
            log_("hotkey %s is held by another program", describe(r.keyCode, r.modifiers).c_str());
        }
    }
}

const X11HotkeyService::Registration* X11HotkeyService::match(xcb_keycode_t keycode, std::uint16_t state) {
    const KeyGrab pressed{keycode, static_cast<std::uint16_t>(state & 0xff)};
    for (const auto& [handle, r] : registrations_) {
        if (std::find(r.grabs.begin(), r.grabs.end(), pressed) != r.grabs.end()) {
            return &r;
        }
    }
    return nullptr;
}

void X11HotkeyService::keyPressed(xcb_keycode_t keycode, std::uint16_t state, xcb_timestamp_t time) {
    const Registration* r = match(keycode, state);
    if (!r) {
        return;
    }
    // Auto-repeat arrives either as further presses (detectable auto-repeat) or as
    // release/press pairs with one timestamp; a held shortcut fires once.
    const bool repeat = held_.count(keycode) > 0 ||
                        (lastRelease_ && lastRelease_->first == keycode && lastRelease_->second == time);
    held_.insert(keycode);
    if (repeat || !handler_) {
        return;
    }
    const Handler handler = handler_;   // the handler may replace itself or unregister
    const HotKeyId id = r->id;
    try {
        handler(id);
    } catch (const std::exception& e) {
        log_("hotkey %u failed: %s", static_cast<unsigned>(id.id), e.what());
    } catch (...) {
        log_("hotkey %u failed", static_cast<unsigned>(id.id));
    }
}

bool X11HotkeyService::keyReleased(xcb_keycode_t keycode, xcb_timestamp_t time) {
    const bool wasHeld = held_.erase(keycode) > 0;
    if (wasHeld) {
        lastRelease_ = {keycode, time};
    }
    return wasHeld;
}

bool X11HotkeyService::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & 0x7f) {
    case XCB_KEY_PRESS: {
        const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
        if (key->event != root_ || !match(key->detail, key->state)) {
            return false;
        }
        keyPressed(key->detail, key->state, key->time);
        return true;
    }
    case XCB_KEY_RELEASE: {
        const auto* key = reinterpret_cast<const xcb_key_release_event_t*>(event);
        return key->event == root_ && keyReleased(key->detail, key->time);
    }
    default:
        return false;   // keyboard changes reach the layout's own filter
    }
}

} // namespace dimwell::x11
