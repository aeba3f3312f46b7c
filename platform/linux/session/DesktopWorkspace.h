#pragma once
// The workspace on a Linux desktop: files open with the desktop's handler, and
// the active program is the one a desktop-specific source names.

#include "common/Log.h"
#include "platform/ports/Session.h"

#include <cstdint>
#include <functional>
#include <string>

namespace dimwell::x11 {

class DesktopWorkspace : public Workspace {
public:
    /// The process that owns the active window; 0 when there is none or the
    /// desktop does not tell.
    using ActiveProcess = std::function<std::int32_t()>;

    /// `processName`: the name this program goes by when it is the active one.
    /// `activeProcess` may be empty: then no program is ever the active one.
    DesktopWorkspace(std::string processName, LogSink& log, ActiveProcess activeProcess);

    /// Opens with the desktop's handler. The accessibility settings pane opens
    /// the desktop's accessibility settings, when it has a known tool for them.
    bool openFile(const std::string& path) override;
    /// The active process, its name from /proc/<pid>/comm.
    ActiveApplication activeApplication() const override;

private:
    bool openAccessibilitySettings();

    std::string processName_;
    Logger log_;
    ActiveProcess activeProcess_;
};

/// The name of process `pid` as /proc/<pid>/comm gives it; empty when gone.
std::string processNameOf(std::int32_t pid);

} // namespace dimwell::x11
