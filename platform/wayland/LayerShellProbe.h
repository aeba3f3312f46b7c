#pragma once
// Whether the Wayland compositor (WAYLAND_DISPLAY) lets clients put surfaces
// above every window; asked once at start, on a connection of its own.

namespace dimwell::wayland {

bool compositorOffersLayerShell();

} // namespace dimwell::wayland
