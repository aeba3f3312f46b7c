#pragma once
// The programs around this one: tutorial instances that come and go, tools that
// are run, and the requests to end this program.

#include "platform/ports/Applications.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace dimwell {

class SimApplications : public Applications {
public:
    bool launchTutorial() override;
    std::vector<RunningApplication> runningTutorials() const override { return running_; }
    void terminate(const RunningApplication& application) override;
    std::string toolPath(const std::string& name) const override;
    bool runTool(const std::vector<std::string>& argv) override;
    void terminateSelf() override { ++terminateSelfRequests_; }

    /// The tutorial program is (not) installed.
    void setTutorialInstalled(bool installed) { tutorialInstalled_ = installed; }
    /// Runs inside each launch, so a test can look at the world at that moment.
    void onLaunch(std::function<void()> hook) { onLaunch_ = std::move(hook); }
    /// The user starts a tutorial by hand.
    RunningApplication startTutorialByHand();
    void installTool(const std::string& name, const std::string& path) { tools_[name] = path; }

    int launches() const { return launches_; }
    const std::vector<RunningApplication>& terminated() const { return terminated_; }
    const std::vector<std::vector<std::string>>& toolRuns() const { return toolRuns_; }
    int terminateSelfRequests() const { return terminateSelfRequests_; }

private:
    std::vector<RunningApplication> running_;
    std::vector<RunningApplication> terminated_;
    std::map<std::string, std::string> tools_;
    std::vector<std::vector<std::string>> toolRuns_;
    std::function<void()> onLaunch_;
    bool tutorialInstalled_ = true;
    int launches_ = 0;
    int terminateSelfRequests_ = 0;
    std::int32_t nextPid_ = 4000;
};

} // namespace dimwell
