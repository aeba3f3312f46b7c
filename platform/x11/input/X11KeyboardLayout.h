#pragma once
// The X server's keymap as the keyboard layout: read through xkbcommon-x11, and
// read again when the server says the keymap or the active layout group changed.

#include "platform/linux/keyboard/KeyboardLayout.h"

#include <QAbstractNativeEventFilter>

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>

namespace dimwell::x11 {

class X11KeyboardLayout final : public KeyboardLayout, private QAbstractNativeEventFilter {
public:
    /// `connection` is the toolkit's own: change notices arrive through the
    /// application's native event filter. `log` may be null.
    X11KeyboardLayout(xcb_connection_t* connection, LogSink* log);
    ~X11KeyboardLayout() override;

    /// Reads the keymap and the active group from the server again.
    void reload();

private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    xcb_connection_t* connection_;
    std::optional<std::uint8_t> xkbFirstEvent_;
    std::int32_t device_ = -1;
};

} // namespace dimwell::x11
