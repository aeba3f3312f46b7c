// One Dimwell per session: the lock is exclusive, dies with its holder, is not
// handed to programs Dimwell starts, and cannot be hijacked by a planted link.

#include "platform/x11/SingleInstance.h"
#include "ChildProcess.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace dimwell::x11 {
namespace {

using Outcome = SingleInstanceLock::Outcome;
using test::ChildProcess;
using test::TempFolder;

TEST(SingleInstance, ASecondHolderIsRefusedUntilTheFirstLetsGo) {
    TempFolder tmp;
    const std::string path = tmp / "dimwell-_0.lock";
    {
        SingleInstanceLock first(path);
        ASSERT_EQ(first.outcome(), Outcome::Acquired);
        EXPECT_EQ(SingleInstanceLock(path).outcome(), Outcome::HeldElsewhere);
    }
    EXPECT_EQ(SingleInstanceLock(path).outcome(), Outcome::Acquired);
}

TEST(SingleInstance, AnotherProcessHoldingItCounts) {
    TempFolder tmp;
    const std::string path = tmp / "dimwell-_0.lock";
    // One process that takes the lock and sleeps: killing it ends the holder.
    ChildProcess holder({"/usr/bin/python3", "-c",
                         "import fcntl, sys, time\n"
                         "f = open(sys.argv[1], 'a')\n"
                         "fcntl.flock(f, fcntl.LOCK_EX)\n"
                         "time.sleep(30)\n",
                         path});
    bool held = false;
    for (int i = 0; i < 100 && !held; ++i) {
        held = SingleInstanceLock(path).outcome() == Outcome::HeldElsewhere;
        if (!held) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(held);
    kill(holder.pid(), SIGKILL);
    holder.endingSignal();
    EXPECT_EQ(SingleInstanceLock(path).outcome(), Outcome::Acquired);
}

TEST(SingleInstance, ProgramsStartedMeanwhileDoNotKeepTheLock) {
    TempFolder tmp;
    const std::string path = tmp / "dimwell-_0.lock";
    std::optional<ChildProcess> launched;
    {
        SingleInstanceLock lock(path);
        ASSERT_EQ(lock.outcome(), Outcome::Acquired);
        launched.emplace(std::vector<std::string>{"/bin/sleep", "30"});
        ASSERT_TRUE(launched->running());
    }
    // Until the child has exec'd it still shares the descriptor; once it runs
    // its program the lock must be free.
    bool acquired = false;
    for (int i = 0; i < 100 && !acquired; ++i) {
        acquired = SingleInstanceLock(path).outcome() == Outcome::Acquired;
        if (!acquired) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(acquired);
    EXPECT_TRUE(launched->running());
}

TEST(SingleInstance, APlantedLinkIsNotFollowed) {
    TempFolder tmp;
    const std::string target = tmp.write("target", "keep");
    std::filesystem::create_symlink(target, tmp / "dimwell-_0.lock");
    EXPECT_EQ(SingleInstanceLock(tmp / "dimwell-_0.lock").outcome(), Outcome::Unavailable);
}

TEST(SingleInstance, TheLockLivesInTheRuntimeFolderUnderASafeName) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string keep = saved ? saved : "";
    setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
    EXPECT_EQ(SingleInstanceLock::sessionLockPath(":0"), "/run/user/1000/dimwell-_0.lock");
    EXPECT_EQ(SingleInstanceLock::sessionLockPath("host/../x:10.0"), "/run/user/1000/dimwell-host_.._x_10.0.lock");
    if (saved) {
        setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
    } else {
        unsetenv("XDG_RUNTIME_DIR");
    }
}

} // namespace
} // namespace dimwell::x11
