#pragma once
// The Wayland compositor's keymap as the keyboard layout: the seat keyboard's
// keymap on Dimwell's own connection, followed as the compositor changes it.

#include "platform/linux/keyboard/KeyboardLayout.h"

#include <string>

namespace dimwell::wayland {

class WaylandConnection;

class WaylandKeyboardLayout final : public x11::KeyboardLayout {
public:
    /// `log` may be null. Until the compositor sends a keymap, keys are named as
    /// on a US keyboard.
    WaylandKeyboardLayout(WaylandConnection& connection, LogSink* log);
    ~WaylandKeyboardLayout() override;

private:
    void follow();

    WaylandConnection& connection_;
    std::string keymap_;   ///< the keymap text in use
};

} // namespace dimwell::wayland
