#include "app/BackendChoice.h"

namespace dimwell {

namespace {

BackendChoice refused(std::string error) { return {Backend::None, {}, std::move(error)}; }

bool layerShell(const SessionFacts& facts) { return facts.offersLayerShell && facts.offersLayerShell(); }

} // namespace

BackendChoice chooseBackend(const SessionFacts& facts) {
    if (facts.requested == "x11") {
        return facts.xDisplay ? BackendChoice{Backend::X11, {}, {}}
                              : refused("--platform x11, but DISPLAY is not set");
    }
    if (facts.requested == "wayland") {
        if (!facts.waylandDisplay) {
            return refused("--platform wayland, but WAYLAND_DISPLAY is not set");
        }
        return layerShell(facts) ? BackendChoice{Backend::Wayland, {}, {}}
                                 : refused("--platform wayland, but the compositor offers no layer shell "
                                           "(zwlr_layer_shell_v1), which the veil needs");
    }
    if (facts.waylandDisplay) {
        if (layerShell(facts)) {
            return {Backend::Wayland, {}, {}};
        }
        if (!facts.xDisplay) {
            return refused("the Wayland compositor offers no layer shell (zwlr_layer_shell_v1) and there is no "
                           "X display to run on instead");
        }
        return {Backend::X11,
                "this Wayland compositor offers no layer shell: running through Xwayland, where shortcuts work "
                "only while an X window has focus and clicks meant for native Wayland windows under the veil "
                "are not let through",
                {}};
    }
    if (facts.xDisplay) {
        return {Backend::X11, {}, {}};
    }
    return refused("neither WAYLAND_DISPLAY nor DISPLAY is set: no desktop to run on");
}

} // namespace dimwell
