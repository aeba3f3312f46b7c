#pragma once
// Which desktop Dimwell runs on: X11, or Wayland where the compositor lets a
// client put surfaces above every window (layer shell). Decided once, at start.

#include <functional>
#include <string>

namespace dimwell {

enum class Backend { X11, Wayland, None };

struct BackendChoice {
    Backend backend = Backend::None;
    std::string note;    ///< one line for the log when running with less than usual; may be empty
    std::string error;   ///< why Dimwell cannot run, when backend is None
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
