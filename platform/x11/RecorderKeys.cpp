#include "platform/x11/RecorderKeys.h"

#include "platform/x11/KeyTable.h"

namespace dimwell::x11 {
namespace {

// Keysym values from the X protocol's keysym list (X11/keysymdef.h).
constexpr std::uint32_t kXkF1 = 0xffbe;

std::string utf8(std::uint32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

} // namespace

std::uint64_t recorderFlags(Qt::KeyboardModifiers modifiers) {
    std::uint64_t flags = 0;
    if (modifiers & Qt::ControlModifier) flags |= kControlKeyMask;
    if (modifiers & Qt::AltModifier) flags |= kOptionKeyMask;
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

std::string unshiftedCharacters(std::uint32_t virtualKey) {
    const std::optional<std::uint32_t> keysym = keysymForVirtualKey(virtualKey);
    if (!keysym) {
        return {};
    }
    // Latin-1 keysyms are their own code points.
    if ((*keysym > 0x20 && *keysym < 0x7f) || (*keysym >= 0xa0 && *keysym <= 0xff)) {
        return utf8(*keysym);
    }
    return std::string(keyName(virtualKey));
}

std::uint32_t keysymOf(std::uint32_t nativeVirtualKey, int qtKey) {
    if (nativeVirtualKey != 0) {
        return nativeVirtualKey;
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F35) {
        return kXkF1 + static_cast<std::uint32_t>(qtKey - Qt::Key_F1);
    }
    switch (qtKey) {
    case Qt::Key_Escape: return 0xff1b;
    case Qt::Key_Tab: return 0xff09;
    case Qt::Key_Backtab: return 0xfe20;
    case Qt::Key_Backspace: return 0xff08;
    case Qt::Key_Return: return 0xff0d;
    case Qt::Key_Enter: return 0xff8d;
    case Qt::Key_Insert: return 0xff63;
    case Qt::Key_Delete: return 0xffff;
    case Qt::Key_Home: return 0xff50;
    case Qt::Key_End: return 0xff57;
    case Qt::Key_Left: return 0xff51;
    case Qt::Key_Up: return 0xff52;
    case Qt::Key_Right: return 0xff53;
    case Qt::Key_Down: return 0xff54;
    case Qt::Key_PageUp: return 0xff55;
    case Qt::Key_PageDown: return 0xff56;
    default: break;
    }
    // Qt names printable keys by their Latin-1 code point, letters upper case.
    if (qtKey >= 0x20 && qtKey <= 0xff) {
        return static_cast<std::uint32_t>(qtKey);
    }
    return 0;
}

std::optional<RecorderKeyEvent> recorderKeyDown(std::uint32_t keysym, std::uint64_t flags) {
    const std::optional<std::uint32_t> virtualKey = virtualKeyForKeysym(keysym);
    if (!virtualKey || isModifierKey(*virtualKey)) {
        return std::nullopt;
    }
    return RecorderKeyEvent{static_cast<std::uint16_t>(*virtualKey), flags, unshiftedCharacters(*virtualKey)};
}

} // namespace dimwell::x11
