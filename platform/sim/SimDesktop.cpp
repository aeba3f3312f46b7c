#include "platform/sim/SimDesktop.h"

namespace dimwell {

SimDesktop::SimDesktop(const std::string& displaySpec)
    : displays(displaySpec),
      input([this] { return displays.mainScreenHeight(); }),
      windowServer(windowFactory, displays, bundle) {
    bundle.installStandardResources();
}

DesktopPorts SimDesktop::ports() {
    return DesktopPorts{defaults,  bundle,    log,   notifications, displays,      windowFactory, trust,
                        alerts,    workspace, hotkeys, input,       windowServer, accessibility, capture};
}

} // namespace dimwell
