#include "platform/sim/SimApplications.h"

#include <algorithm>

namespace dimwell {

bool SimApplications::launchTutorial() {
    ++launches_;
    if (onLaunch_) {
        onLaunch_();
    }
    if (!tutorialInstalled_) {
        return false;
    }
    running_.push_back({nextPid_++});
    return true;
}

void SimApplications::terminate(const RunningApplication& application) {
    terminated_.push_back(application);
    running_.erase(std::remove(running_.begin(), running_.end(), application), running_.end());
}

std::string SimApplications::toolPath(const std::string& name) const {
    const auto it = tools_.find(name);
    return it == tools_.end() ? std::string() : it->second;
}

bool SimApplications::runTool(const std::vector<std::string>& argv) {
    toolRuns_.push_back(argv);
    return !argv.empty();
}

RunningApplication SimApplications::startTutorialByHand() {
    running_.push_back({nextPid_++});
    return running_.back();
}

} // namespace dimwell
