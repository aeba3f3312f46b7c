#pragma once
// One simulated desktop: one of each port, wired together, handed over as
// `DesktopPorts`.

#include "common/NotificationCenter.h"
#include "platform/ports/Desktop.h"
#include "platform/sim/SimAccessibility.h"
#include "platform/sim/SimBundle.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimHotkeys.h"
#include "platform/sim/SimInput.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimSession.h"
#include "platform/sim/SimWindowCapture.h"
#include "platform/sim/SimWindowFactory.h"
#include "platform/sim/SimWindowServer.h"

#include <string>

namespace dimwell {

class SimDesktop {
public:
    /// Displays from `displaySpec` (see SimDisplays); the bundle carries the shipped
    /// property lists; the process is trusted; the preferences are empty.
    explicit SimDesktop(const std::string& displaySpec = "1440x900+0+0");
    SimDesktop(const SimDesktop&) = delete;
    SimDesktop& operator=(const SimDesktop&) = delete;

    DesktopPorts ports();

    SimDefaults defaults;
    SimBundle bundle;
    SimLog log;
    NotificationCenter notifications;
    SimDisplays displays;
    SimWindowFactory windowFactory;
    SimTrust trust;
    SimAlerts alerts;
    SimWorkspace workspace;
    SimHotkeys hotkeys;
    SimInput input;
    SimWindowServer windowServer;
    SimAccessibility accessibility;
    SimWindowCapture capture;
};

} // namespace dimwell
