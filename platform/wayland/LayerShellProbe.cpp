#include "platform/wayland/LayerShellProbe.h"

#include <wayland-client.h>

#include <cstring>

namespace dimwell::wayland {

namespace {

void global(void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
    if (std::strcmp(interface, "zwlr_layer_shell_v1") == 0) {
        *static_cast<bool*>(data) = true;
    }
}
void globalRemove(void*, wl_registry*, uint32_t) {}
constexpr wl_registry_listener kListener{global, globalRemove};

} // namespace

bool compositorOffersLayerShell() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        return false;
    }
    bool offered = false;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kListener, &offered);
    const bool answered = wl_display_roundtrip(display) >= 0;
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return answered && offered;
}

} // namespace dimwell::wayland
