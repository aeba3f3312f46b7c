// One Dimwell per user and display: the name is exclusive, dies with its holder,
// is not handed to programs Dimwell starts, is only believed when this user
// holds it, and is the same for every spelling of the display.

#include "platform/linux/session/SingleInstance.h"
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace dimwell::x11 {
namespace {

using Outcome = SingleInstanceLock::Outcome;
using test::ChildProcess;

/// A name no other test run shares.
std::string testName(const char* what) { return "dimwell-test-" + std::to_string(getpid()) + "-" + what; }

/// A Python process that takes `name` as `uid` and sleeps.
ChildProcess pythonHolder(const std::string& name, uid_t uid) {
    return ChildProcess({"/usr/bin/python3", "-c",
                         "import os, socket, sys, time\n"
                         "os.setuid(int(sys.argv[2]))\n"
                         "s = socket.socket(socket.AF_UNIX)\n"
                         "s.bind('\\0' + sys.argv[1])\n"
                         "s.listen()\n"
                         "time.sleep(30)\n",
                         name, std::to_string(uid)});
}

Outcome settledOutcome(const std::string& name, Outcome wanted) {
    Outcome seen = Outcome::Unavailable;
    for (int i = 0; i < 100 && seen != wanted; ++i) {
        seen = SingleInstanceLock(name).outcome();
        if (seen != wanted) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return seen;
}

TEST(SingleInstance, ASecondHolderIsRefusedUntilTheFirstLetsGo) {
    const std::string name = testName("twice");
    {
        SingleInstanceLock first(name);
        ASSERT_EQ(first.outcome(), Outcome::Acquired);
        EXPECT_EQ(SingleInstanceLock(name).outcome(), Outcome::HeldElsewhere);
    }
    EXPECT_EQ(SingleInstanceLock(name).outcome(), Outcome::Acquired);
}

TEST(SingleInstance, AnotherProcessOfThisUserHoldingItCountsUntilItDies) {
    const std::string name = testName("process");
    ChildProcess holder = pythonHolder(name, getuid());
    ASSERT_EQ(settledOutcome(name, Outcome::HeldElsewhere), Outcome::HeldElsewhere);
    kill(holder.pid(), SIGKILL);
    holder.endingSignal();
    EXPECT_EQ(SingleInstanceLock(name).outcome(), Outcome::Acquired);
}

TEST(SingleInstance, ANameTakenByAnotherUserNeverStopsDimwell) {
    if (getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    const std::string name = testName("squatted");
    ChildProcess squatter = pythonHolder(name, 65534);
    // Once the squatter listens, asking it reveals a stranger: nothing can be said.
    for (int i = 0; i < 100; ++i) {
        if (system(("grep -q '@" + name + "$' /proc/net/unix").c_str()) == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(SingleInstanceLock(name).outcome(), Outcome::Unavailable);
    EXPECT_TRUE(squatter.running());
}

TEST(SingleInstance, ProgramsStartedMeanwhileDoNotKeepTheName) {
    const std::string name = testName("children");
    std::optional<ChildProcess> launched;
    {
        SingleInstanceLock lock(name);
        ASSERT_EQ(lock.outcome(), Outcome::Acquired);
        launched.emplace(std::vector<std::string>{"/bin/sleep", "30"});
        ASSERT_TRUE(launched->running());
    }
    // Until the child has exec'd it still shares the descriptor; once it runs
    // its program the name must be free.
    EXPECT_EQ(settledOutcome(name, Outcome::Acquired), Outcome::Acquired);
    EXPECT_TRUE(launched->running());
}

// A second Dimwell without a runtime folder and with the screen in its display
// name is checked end to end, on the tray's desktop.
TEST(SingleInstance, TheNameIsTheSameForEverySpellingOfTheDisplay) {
    const struct {
        const char* display;
        const char* normalised;
    } cases[] = {
        {":0", ":0"},          {":0.0", ":0"},         {"unix:0", ":0"},       {"unix:0.1", ":0"},
        {"unix/:0", ":0"},     {"/tmp/.X11-unix/X0", ":0"}, {":12", ":12"},     {"host:10.0", "host:10"},
        {"localhost:10", "localhost:10"}, {"odd", "odd"}, {":x", ":x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SingleInstanceLock::normalisedDisplay(c.display), c.normalised) << c.display;
    }
    EXPECT_EQ(SingleInstanceLock::sessionLockPath("unix:0"), "dimwell-" + std::to_string(getuid()) + "-:0");
}

} // namespace
} // namespace dimwell::x11
