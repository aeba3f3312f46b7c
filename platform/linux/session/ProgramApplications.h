#pragma once
// The programs installed with Dimwell: DimwellHelp beside it (running ones are
// found by the identity their executable declares), the tools beside it or in
// libexec/dimwell, and this program's own quit.

#include "common/Log.h"
#include "platform/ports/Applications.h"

#include <string>

namespace dimwell::x11 {

class ProgramApplications : public Applications {
public:
    /// Programs beside this process's executable.
    explicit ProgramApplications(LogSink& log);
    /// Programs in `programFolder`, for tests.
    ProgramApplications(std::string programFolder, LogSink& log);

    bool launchTutorial() override;
    std::vector<RunningApplication> runningTutorials() const override;
    void terminate(const RunningApplication& application) override;
    std::string toolPath(const std::string& name) const override;
    bool runTool(const std::vector<std::string>& argv) override;
    /// Stops the Qt event loop at its next turn.
    void terminateSelf() override;

    const std::string& tutorialPath() const { return tutorialPath_; }

    /// The folder of this process's executable.
    static std::string executableFolder();

private:
    std::string programFolder_;
    std::string tutorialPath_;
    Logger log_;
};

} // namespace dimwell::x11
