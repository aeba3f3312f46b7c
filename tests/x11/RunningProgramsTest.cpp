// Ending every running DimwellHelp: found by the file it executes, so that a
// copy elsewhere or a script of the same name is left alone.

#include "platform/x11/ProgramApplications.h"
#include "platform/x11/RunningPrograms.h"
#include "ChildProcess.h"
#include "TempFolder.h"
#include "platform/sim/SimLog.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace dimwell::x11 {
namespace {

using test::ChildProcess;
using test::TempFolder;

std::string sleepProgram() {
    for (const char* p : {"/usr/bin/sleep", "/bin/sleep"}) {
        if (access(p, X_OK) == 0) return p;
    }
    return {};
}

struct Tutorials : ::testing::Test {
    TempFolder tmp;
    SimLog log;
    std::string real = tmp / "bin/DimwellHelp";
    std::string copy = tmp / "elsewhere/DimwellHelp";
    std::string script = tmp / "scripts/DimwellHelp";

    void SetUp() override {
        const std::string sleep = sleepProgram();
        ASSERT_FALSE(sleep.empty());
        for (const std::string& p : {real, copy}) {
            std::filesystem::create_directories(std::filesystem::path(p).parent_path());
            std::filesystem::copy_file(sleep, p);
        }
        tmp.write("scripts/DimwellHelp", "#!/bin/sh\nsleep 30\n", 0755);
    }
};

TEST_F(Tutorials, OnlyProcessesRunningTheInstalledFileAreFoundAndEnded) {
    ChildProcess first({real, "30"});
    ChildProcess second({real, "30"});
    ChildProcess renamedCopy({copy, "30"});
    ChildProcess sameNameScript({script});
    ASSERT_TRUE(first.waitUntilExecuting(real));
    ASSERT_TRUE(second.waitUntilExecuting(real));
    ASSERT_TRUE(renamedCopy.waitUntilExecuting(copy));

    ProgramApplications apps(tmp / "bin", log);
    const std::vector<RunningApplication> found = apps.runningTutorials();
    EXPECT_EQ(found, (std::vector<RunningApplication>{{first.pid()}, {second.pid()}}));

    for (const RunningApplication& app : found) apps.terminate(app);
    EXPECT_EQ(first.endingSignal(), SIGTERM);
    EXPECT_EQ(second.endingSignal(), SIGTERM);

    // Asked by id, the others are still refused: they run another file.
    EXPECT_FALSE(terminateIfRunning(renamedCopy.pid(), real, getuid()));
    EXPECT_FALSE(terminateIfRunning(sameNameScript.pid(), real, getuid()));
    EXPECT_TRUE(renamedCopy.running());
    EXPECT_TRUE(sameNameScript.running());
}

TEST_F(Tutorials, AnEndedProcessIsNotSignalledAgain) {
    pid_t gone = 0;
    {
        ChildProcess child({real, "30"});
        ASSERT_TRUE(child.waitUntilExecuting(real));
        gone = child.pid();
        ASSERT_TRUE(terminateIfRunning(gone, real, getuid()));
        ASSERT_EQ(child.endingSignal(), SIGTERM);
    }
    EXPECT_FALSE(terminateIfRunning(gone, real, getuid()));
    EXPECT_TRUE(processesRunning(real, getuid()).empty());
}

TEST_F(Tutorials, AnotherUsersProcessIsNeverFound) {
    ChildProcess child({real, "30"});
    ASSERT_TRUE(child.waitUntilExecuting(real));
    EXPECT_TRUE(processesRunning(real, getuid() + 1).empty());
    EXPECT_FALSE(terminateIfRunning(child.pid(), real, getuid() + 1));
    EXPECT_TRUE(child.running());
}

TEST_F(Tutorials, ToolsAreFoundBesideTheProgramOrInLibexec) {
    SimLog quiet;
    tmp.write("prefix/bin/Dimwell", "", 0755);
    const std::string libexecTool = tmp.write("prefix/libexec/dimwell/EnableAccessibility", "", 0755);
    ProgramApplications installed(tmp / "prefix/bin", quiet);
    EXPECT_EQ(std::filesystem::canonical(installed.toolPath("EnableAccessibility")), libexecTool);
    EXPECT_EQ(installed.toolPath("../libexec/dimwell/EnableAccessibility"), "");
    EXPECT_EQ(installed.toolPath("Missing"), "");

    const std::string besideTool = tmp.write("build/bin/EnableAccessibility", "", 0755);
    EXPECT_EQ(ProgramApplications(tmp / "build/bin", quiet).toolPath("EnableAccessibility"), besideTool);
}

} // namespace
} // namespace dimwell::x11
