// Making the process trusted for accessibility: a separate tool of the
// installation does the work, after which the user starts the program afresh.

#include "app/AppDelegate.h"
#include "platform/ports/Bundle.h"

namespace dimwell {

namespace {
constexpr const char* kEnableAccessibilityTool = "EnableAccessibility";
}

void AppDelegate::makeProcessTrusted() {
    // Whether the tool ran is not examined: the program quits either way, and
    // the next start finds out whether it is trusted.
    if (const std::string tool = shell_.applications.toolPath(kEnableAccessibilityTool); !tool.empty()) {
        shell_.applications.runTool({tool, desktop_.bundle.bundlePath()});
    }
    shell_.applications.terminateSelf();
}

} // namespace dimwell
