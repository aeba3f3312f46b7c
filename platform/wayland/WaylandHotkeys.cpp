#include "platform/wayland/WaylandHotkeys.h"

namespace dimwell::wayland {

std::string WaylandHotkeyService::advice() {
    return "Shortcuts on Wayland are the compositor's: bind keys to `Dimwell --action NAME` "
           "(for sway: bindsym Ctrl+Shift+z exec Dimwell --action selectMode)";
}

WaylandHotkeyService::WaylandHotkeyService(LogSink& log) { log.write(advice()); }

} // namespace dimwell::wayland
