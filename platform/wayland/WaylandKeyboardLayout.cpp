#include "platform/wayland/WaylandKeyboardLayout.h"

#include "platform/wayland/WaylandConnection.h"

namespace dimwell::wayland {

WaylandKeyboardLayout::WaylandKeyboardLayout(WaylandConnection& connection, LogSink* log)
    : KeyboardLayout(log), connection_(connection) {
    connection_.setKeyboardChanged([this] { follow(); });
    follow();
}

WaylandKeyboardLayout::~WaylandKeyboardLayout() { connection_.setKeyboardChanged(nullptr); }

void WaylandKeyboardLayout::follow() {
    if (connection_.keymap() == keymap_) {
        setGroup(connection_.layoutGroup());
        return;
    }
    keymap_ = connection_.keymap();
    if (keymap_.empty()) {
        setKeymap(nullptr, 0);
    } else {
        setKeymapText(keymap_, connection_.layoutGroup());
    }
}

} // namespace dimwell::wayland
