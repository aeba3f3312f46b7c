// Ending every running DimwellHelp: found by the identity its executable
// declares, so that a copy or a link of it counts and a program that merely
// bears its name is left alone.

#include "platform/linux/session/ProgramApplications.h"
#include "platform/linux/session/RunningPrograms.h"
#include "ChildProcess.h"
#include "TempFolder.h"
#include "common/ProgramIdentity.h"
#include "platform/sim/SimLog.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    std::string copy = tmp / "elsewhere/Tutorial";
    std::string link = tmp / "links/DimwellHelp";
    std::string sameNameSleep = tmp / "other/DimwellHelp";
    std::string script = tmp / "scripts/DimwellHelp";

    void SetUp() override {
        const std::string sleep = sleepProgram();
        ASSERT_FALSE(sleep.empty());
        for (const auto& [from, to] : {std::pair{std::string(DIMWELL_TUTORIAL_STAND_IN), real},
                                       std::pair{std::string(DIMWELL_TUTORIAL_STAND_IN), copy},
                                       std::pair{sleep, sameNameSleep}}) {
            std::filesystem::create_directories(std::filesystem::path(to).parent_path());
            std::filesystem::copy_file(from, to);
        }
        std::filesystem::create_directories(std::filesystem::path(link).parent_path());
        std::filesystem::create_symlink(real, link);
        tmp.write("scripts/DimwellHelp", "#!/bin/sh\nsleep 30\n", 0755);
    }
};

TEST_F(Tutorials, EveryProcessDeclaringTheIdentityIsFoundAndEndedWhateverItsPath) {
    ChildProcess installed({real, "30"});
    ChildProcess copied({copy, "30"});
    ChildProcess linked({link, "30"});
    ChildProcess strangerBinary({sameNameSleep, "30"});
    ChildProcess strangerScript({script});
    ASSERT_TRUE(installed.waitUntilExecuting(real));
    ASSERT_TRUE(copied.waitUntilExecuting(copy));
    ASSERT_TRUE(linked.waitUntilExecuting(real));
    ASSERT_TRUE(strangerBinary.waitUntilExecuting(sameNameSleep));

    ProgramApplications apps(tmp / "bin", log);
    std::vector<RunningApplication> expected{{installed.pid()}, {copied.pid()}, {linked.pid()}};
    std::sort(expected.begin(), expected.end(),
              [](const auto& a, const auto& b) { return a.processIdentifier < b.processIdentifier; });
    const std::vector<RunningApplication> found = apps.runningTutorials();
    EXPECT_EQ(found, expected);

    for (const RunningApplication& app : found) apps.terminate(app);
    EXPECT_EQ(installed.endingSignal(), SIGTERM);
    EXPECT_EQ(copied.endingSignal(), SIGTERM);
    EXPECT_EQ(linked.endingSignal(), SIGTERM);

    // Asked by id, the strangers are still refused: they declare nothing.
    EXPECT_FALSE(terminateIfDeclaring(strangerBinary.pid(), kTutorialIdentity, getuid()));
    EXPECT_FALSE(terminateIfDeclaring(strangerScript.pid(), kTutorialIdentity, getuid()));
    EXPECT_TRUE(strangerBinary.running());
    EXPECT_TRUE(strangerScript.running());
}

// Another user's process is never found; an ended one is not signalled again.
TEST_F(Tutorials, OnlyThisUsersLiveProcessesAreEnded) {
    pid_t gone = 0;
    {
        ChildProcess child({real, "30"});
        ASSERT_TRUE(child.waitUntilExecuting(real));
        gone = child.pid();
        EXPECT_TRUE(processesDeclaring(kTutorialIdentity, getuid() + 1).empty());
        EXPECT_FALSE(terminateIfDeclaring(gone, kTutorialIdentity, getuid() + 1));
        EXPECT_TRUE(child.running());
        ASSERT_TRUE(terminateIfDeclaring(gone, kTutorialIdentity, getuid()));
        ASSERT_EQ(child.endingSignal(), SIGTERM);
    }
    EXPECT_FALSE(terminateIfDeclaring(gone, kTutorialIdentity, getuid()));
    EXPECT_TRUE(processesDeclaring(kTutorialIdentity, getuid()).empty());
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
