// Autostart entries as login items: reading Exec lines as launchers do, writing
// entries any path survives in, and the list operations on a real folder.

#include "platform/linux/session/DesktopEntry.h"
#include "platform/linux/prefs/PlistDefaults.h"
#include "platform/linux/session/XdgLoginItems.h"
#include "TempFolder.h"
#include "platform/sim/SimLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dimwell::x11 {
namespace {

using test::TempFolder;

struct ExecCase {
    const char* exec;
    std::optional<std::vector<std::string>> args;
};

class ExecSplit : public ::testing::TestWithParam<ExecCase> {};

TEST_P(ExecSplit, GivesTheLaunchersArguments) {
    EXPECT_EQ(splitExec(GetParam().exec), GetParam().args) << GetParam().exec;
}

using Args = std::vector<std::string>;
INSTANTIATE_TEST_SUITE_P(
    DesktopEntry, ExecSplit,
    ::testing::Values(ExecCase{"Dimwell", Args{"Dimwell"}},
                      ExecCase{"/usr/bin/foo --bar  baz", Args{"/usr/bin/foo", "--bar", "baz"}},
                      ExecCase{"foo %U", Args{"foo"}},                          // a lone field code is no argument
                      ExecCase{"foo %f %i %c %k --x=%%1", Args{"foo", "--x=%1"}},
                      ExecCase{"\"/opt/My Apps/Dimwell\" %u", Args{"/opt/My Apps/Dimwell"}},
                      ExecCase{R"("/a \"q\" \` \$ \\ b")", Args{R"(/a "q" ` $ \ b)"}},
                      ExecCase{"foo \"\"", Args{"foo", ""}},
                      ExecCase{"'/opt/x y/z' a", Args{"/opt/x y/z", "a"}},
                      ExecCase{"\"/opt/open", std::nullopt}, ExecCase{"", Args{}}));

class ExecQuoting : public ::testing::TestWithParam<const char*> {};

TEST_P(ExecQuoting, AnyPathSurvivesTheEntryFile) {
    const std::string path = GetParam();
    const auto keys = readDesktopEntryGroup(autostartEntryText(path));
    ASSERT_TRUE(keys);
    const auto args = splitExec(keys->at("Exec"));
    ASSERT_TRUE(args);
    EXPECT_EQ(*args, (Args{path}));
}

INSTANTIATE_TEST_SUITE_P(DesktopEntry, ExecQuoting,
                         ::testing::Values("/usr/bin/Dimwell", "/home/u/My Programs/Dimwell", "/a\"b", "/a'b",
                                           "/a$HOME", "/a`id`", "/a\\b", "/a%Ub", "/a\nb", "/a\tb c", "/a;b|c&d",
                                           "/100%", "/ü/ß"));

TEST(DesktopEntryFile, ReadsOnlyTheDesktopEntryGroupWithEscapes) {
    const auto keys = readDesktopEntryGroup("# comment\n[Desktop Entry]\nName = A\\sB\\\\C\nExec=x\nExec=y\n"
                                            "[Desktop Action new]\nExec=other\n");
    ASSERT_TRUE(keys);
    EXPECT_EQ(keys->at("Name"), "A B\\C");
    EXPECT_EQ(keys->at("Exec"), "x");
    EXPECT_FALSE(readDesktopEntryGroup("[Other]\nExec=x\n"));
}

struct Autostart : ::testing::Test {
    TempFolder tmp;
    SimLog log;
    std::string folder = tmp / "config/autostart";
    std::string bin = tmp / "bin";
    XdgLoginItemsList list{folder, bin + ":/usr/bin:/bin", log};

    std::string program(const std::string& relative) { return tmp.write(relative, "#!/bin/sh\n", 0755); }
    std::string entry(const std::string& name, const std::string& body) {
        return tmp.write("config/autostart/" + name, "[Desktop Entry]\nType=Application\n" + body);
    }
    std::vector<std::optional<std::string>> resolved() const {
        std::vector<std::optional<std::string>> paths;
        for (const LoginItem& item : list.snapshot()) paths.push_back(item.resolvedPath);
        return paths;
    }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(Autostart, AddingWritesACompleteEntryUnderANewNameEachTimeAndRemovingDeletesIt) {
    const std::string dimwell = program("My Programs/Dimwell");
    ASSERT_TRUE(list.insertItem(dimwell));   // the folders do not exist yet
    ASSERT_TRUE(list.insertItem(dimwell));
    EXPECT_EQ(files(), (Args{"dimwell-2.desktop", "dimwell.desktop"}));   // no temporary file is left

    struct stat st {};
    ASSERT_EQ(stat((folder + "/dimwell.desktop").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(resolved(), (std::vector<std::optional<std::string>>{dimwell, dimwell}));

    std::ifstream in(folder + "/dimwell.desktop");
    const auto keys = readDesktopEntryGroup(std::string(std::istreambuf_iterator<char>(in), {}));
    ASSERT_TRUE(keys);
    EXPECT_EQ(keys->at("Type"), "Application");
    EXPECT_EQ(keys->at("Exec"), "\"" + dimwell + "\"");

    // Removing deletes the entries and leaves the others.
    entry("other.desktop", "Exec=/no/such/program\n");
    for (const LoginItem& item : list.snapshot()) {
        if (item.resolvedPath == dimwell) {
            EXPECT_TRUE(list.removeItem(item.id));
        }
    }
    EXPECT_EQ(files(), (Args{"other.desktop"}));
    EXPECT_FALSE(list.removeItem(12345));
}

TEST_F(Autostart, EntriesResolveToTheirProgramsAndTheUnresolvableStay) {
    const std::string tool = program("bin/mytool");
    const std::string target = program("real/Dimwell");
    std::filesystem::create_symlink(target, tmp / "link");
    entry("a.desktop", "Exec=mytool --flag %U\n");            // on the search path
    entry("b.desktop", "Exec=/no/such/program\n");            // deleted program
    entry("c.desktop", "Exec=\"" + tmp / "link" + "\"\n");    // through a link
    entry("d.desktop", "Exec=relative/prog\n");               // no defined start
    entry("e.desktop", "Hidden=true\nExec=mytool\n");         // switched off: not there
    entry("f.desktop", "Exec=\"unterminated\n");
    tmp.write("config/autostart/notes.txt", "[Desktop Entry]\nExec=mytool\n");
    tmp.write("config/autostart/g.desktop", "[Desktop Entry]\nType=Link\nURL=http://x\n");
    ASSERT_EQ(mkfifo((folder + "/h.desktop").c_str(), 0644), 0);   // read, it would never end: skipped

    EXPECT_EQ(resolved(), (std::vector<std::optional<std::string>>{tool, std::nullopt, target, std::nullopt,
                                                                   std::nullopt, std::nullopt}));
}

// Root writes anywhere, so then the adding runs as nobody in a child process.
TEST_F(Autostart, AddingFailsCleanlyWhenTheFolderCannotBeWritten) {
    const std::string dimwell = program("Dimwell");
    std::filesystem::create_directories(folder);
    ASSERT_EQ(chmod(tmp.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    const passwd* nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr;
    if (geteuid() == 0 && !nobody) GTEST_SKIP() << "no unprivileged user to add as";
    GTEST_FLAG_SET(death_test_style, "fast");   // the child must work on this very list
    EXPECT_EXIT(
        {
            if (nobody && (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)) std::_Exit(2);
            std::_Exit(list.insertItem(dimwell) ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
    chmod(folder.c_str(), 0700);
    EXPECT_TRUE(files().empty());
}

// The autostart folder and the preferences file both live under $XDG_CONFIG_HOME,
// or ~/.config when it is unset or relative.
TEST(ConfigFolders, FollowXdgConfigHomeAndIgnoreARelativeOne) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string keep = saved ? saved : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    for (const auto& [value, base] : {std::pair<std::string, std::string>{"/tmp/cfg", "/tmp/cfg"},
                                      {"relative", home + "/.config"}}) {
        setenv("XDG_CONFIG_HOME", value.c_str(), 1);
        EXPECT_EQ(XdgLoginItemsService::userAutostartFolder(), base + "/autostart");
        EXPECT_EQ(PlistDefaults::defaultPath(), base + "/Dimwell/com.Orvalen.Dimwell.plist");
    }
    saved ? setenv("XDG_CONFIG_HOME", keep.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace dimwell::x11
