#include "platform/linux/settings/RecorderKeys.h"

#include "platform/linux/keyboard/KeyTable.h"
#include "platform/linux/keyboard/KeyboardLayout.h"

namespace dimwell::x11 {

std::uint64_t recorderFlags(Qt::KeyboardModifiers modifiers) {
    std::uint64_t flags = 0;
    if (modifiers & Qt::ControlModifier) flags |= kControlKeyMask;
    // AltGr is Option too: the field shows ⌥ for it, the record must say so.
    if (modifiers & (Qt::AltModifier | Qt::GroupSwitchModifier)) flags |= kOptionKeyMask;
    if (modifiers & Qt::ShiftModifier) flags |= kShiftKeyMask;
    if (modifiers & Qt::MetaModifier) flags |= kCommandKeyMask;
    return flags;
}

std::uint64_t modifierKeyFlag(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Control: return kControlKeyMask;
    case Qt::Key_Alt:
    case Qt::Key_AltGr: return kOptionKeyMask;
    case Qt::Key_Shift: return kShiftKeyMask;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R: return kCommandKeyMask;
    default: return 0;
    }
}

RecorderPress recorderPress(std::uint32_t keycode, std::uint64_t flags, const KeyboardLayout& layout) {
    if (keycode > 255) {
        return {};
    }
    const auto key = static_cast<KeyCode>(keycode);
    if (layout.isModifierKey(key)) {
        return {RecorderPress::Kind::Modifier, {}};
    }
    const std::optional<std::uint32_t> virtualKey = layout.virtualKeyOf(key);
    if (!virtualKey) {
        return {};
    }
    std::string characters = layout.characters(key);
    if (characters.empty()) {
        characters = keyName(*virtualKey);
    }
    return {RecorderPress::Kind::Key, {static_cast<std::uint16_t>(*virtualKey), flags, std::move(characters)}};
}

} // namespace dimwell::x11
