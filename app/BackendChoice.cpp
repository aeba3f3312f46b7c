#include "app/BackendChoice.h"

namespace dimwell {

namespace {

constexpr const char* kSupported =
    "Dimwell runs in X11 sessions and on Wayland compositors with layer shell (sway, Hyprland, KDE Plasma and "
    "other wlroots-based desktops); GNOME on Wayland offers no layer shell, and through Xwayland the veil would "
    "take the clicks meant for other windows. Log in to an X11 session to use Dimwell there.";

BackendChoice refused(std::string error, bool tellUser = false) { return {Backend::None, std::move(error), tellUser}; }

bool layerShell(const SessionFacts& facts) { return facts.offersLayerShell && facts.offersLayerShell(); }

} // namespace

BackendChoice chooseBackend(const SessionFacts& facts) {
    if (facts.requested == "x11") {
        if (!facts.xDisplay) {
            return refused("--platform x11, but DISPLAY is not set");
        }
        // An X display inside a Wayland session is Xwayland. A nested X server
        // is reached with WAYLAND_DISPLAY unset.
        return facts.waylandDisplay ? refused("--platform x11 in a Wayland session: " + std::string(kSupported), true)
                                    : BackendChoice{Backend::X11, {}, false};
    }
    if (facts.requested == "wayland" && !facts.waylandDisplay) {
        return refused("--platform wayland, but WAYLAND_DISPLAY is not set");
    }
    if (facts.waylandDisplay) {
        return layerShell(facts) ? BackendChoice{Backend::Wayland, {}, false}
                                 : refused("this Wayland compositor offers no layer shell (zwlr_layer_shell_v1). " +
                                               std::string(kSupported),
                                           true);
    }
    if (facts.xDisplay) {
        return {Backend::X11, {}, false};
    }
    return refused("neither WAYLAND_DISPLAY nor DISPLAY is set: no desktop to run on");
}

} // namespace dimwell
