#pragma once
// Which desktop Dimwell runs on: X11, or Wayland where the compositor lets a
// client put surfaces above every window (layer shell). Decided once, at start.
// Never the X11 backend inside a Wayland session: Xwayland does not honour the
// masks' empty input region, so the veil would take the clicks meant for the
// compositor's own windows (and the hotkeys would fire only over X windows).

#include <functional>
#include <string>

namespace dimwell {

enum class Backend { X11, Wayland, None };

struct BackendChoice {
    Backend backend = Backend::None;
    std::string error;   ///< why Dimwell cannot run, when backend is None
    /// The user is on a desktop that Dimwell does not support: say so in a
    /// window too, since a program started from a menu has no terminal.
    bool tellUser = false;
};

struct SessionFacts {
    std::string requested;   ///< "x11", "wayland" or empty (from --platform)
    bool waylandDisplay = false;
    bool xDisplay = false;
    /// Asks the Wayland compositor; called only when the answer matters.
    std::function<bool()> offersLayerShell;
};

BackendChoice chooseBackend(const SessionFacts& facts);

} // namespace dimwell
