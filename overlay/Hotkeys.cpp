// Global hotkeys: one registration per active shortcut, dispatched by id.

#include "app/Preferences.h"
#include "overlay/AppController.h"
#include "platform/ports/Hotkeys.h"

namespace dimwell {

namespace {

/// 'htk1' .. 'htk8': "htk" and the id's digit, most significant byte first.
constexpr std::uint32_t signatureFor(std::uint32_t id) { return 0x68746B30u + id; }

} // namespace

void AppController::startHotkeys() {
    std::optional<HotKeyHandle>* slots[] = {&gMyHotKeyRef1, &gMyHotKeyRef2, &gMyHotKeyRef3, &gMyHotKeyRef4,
                                            &gMyHotKeyRef5, &gMyHotKeyRef6, &gMyHotKeyRef7, &gMyHotKeyRef8};
    const auto& modes = modeNames();
    for (std::uint32_t id = 1; id <= 8; ++id) {
        startHotkey(*slots[id - 1], modes[id - 1], id, signatureFor(id));
    }
    // Switched on, yet nothing to register: without a tray to show it, say so once here.
    std::string unusable;
    for (const std::string& m : modesWithoutUsableShortcut(prefs_)) {
        unusable += (unusable.empty() ? "" : ", ") + m;
    }
    if (!unusable.empty()) {
        log_("no usable shortcut (a modifier and a key) for: %s", unusable.c_str());
    }
}

void AppController::startHotkey(std::optional<HotKeyHandle>& slot, const std::string& modeName, std::uint32_t hotKeyId,
                                 std::uint32_t signature) {
    if (!isShortcutActive(prefs_, modeName)) {
        return;
    }
    const std::optional<HotkeyRecord> record = userHotkey(prefs_, modeName);
    // A second start without a stop would otherwise leave the old grab behind.
    if (slot) {
        ports_.hotkeys.unregisterHotKey(*slot);
        slot.reset();
    }
    const auto handle = ports_.hotkeys.registerHotKey(record->keycode, record->hotkeyModifiers(), {signature, hotKeyId},
                                                      record->character.value_or(""));
    if (handle) {
        slot = handle;
    } else {
        log_("hotkey %u for %s was refused", static_cast<unsigned>(hotKeyId), modeName.c_str());
    }
}

void AppController::stopHotkeys() {
    std::optional<HotKeyHandle>* slots[] = {&gMyHotKeyRef1, &gMyHotKeyRef2, &gMyHotKeyRef3, &gMyHotKeyRef4,
                                            &gMyHotKeyRef5, &gMyHotKeyRef6, &gMyHotKeyRef7, &gMyHotKeyRef8};
    for (std::optional<HotKeyHandle>* slot : slots) {
        if (*slot) {
            ports_.hotkeys.unregisterHotKey(**slot);
            slot->reset();
        }
    }
}

void AppController::hotkeyPressed(HotKeyId id) {
    switch (id.id) {
    case 1:
        log_("drag hot key");
        setMouseInput();
        break;
    case 2:
        log_("close hot key");
        closeOverlay();
        break;
    case 3:
        log_("pattern hot key");
        bringToFrontMode_ ? focusPattern() : focusMainPattern();
        break;
    case 4:
        log_("window hot key");
        bringToFrontMode_ ? focusWindow() : focusMainWindow();
        break;
    case 5:
        log_("view hot key");
        bringToFrontMode_ ? focusViews() : focusMainView();
        break;
    case 6:
        log_("increase opacity");
        increaseOpacity();
        break;
    case 7:
        log_("decrease opacity");
        decreaseOpacity();
        break;
    case 8:
        log_("toggle click out");
        toggleClickOut();
        break;
    default:
        break;
    }
}

} // namespace dimwell
