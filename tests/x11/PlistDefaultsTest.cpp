// The preferences file: every value type survives a restart, damaged or foreign
// files are kept aside (never lost), and writes replace the file in one step.

#include "TempFolder.h"
#include "WindowTestSupport.h"
#include "app/Preferences.h"
#include "platform/linux/prefs/PlistDefaults.h"
#include "platform/linux/prefs/PlistValue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <limits>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace dimwell::x11 {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<fs::path> entries(const fs::path& dir) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(dir)) {
        out.push_back(e.path().filename());
    }
    std::sort(out.begin(), out.end());
    return out;
}

class PlistDefaultsTest : public ::testing::Test {
protected:
    static constexpr const char* kName = "Dimwell/com.Orvalen.Dimwell.plist";
    fs::path file() const { return dir / kName; }
    void writeFile(const std::string& bytes) const { dir.write(kName, bytes); }
    std::unique_ptr<PlistDefaults> open() { return std::make_unique<PlistDefaults>(file().string(), log); }

    dimwell::test::TempFolder dir;
    testing::RecordingLog log;
};

// --- every value type, through the file ------------------------------------------

struct RoundTrip {
    const char* name;
    Value value;
};

void PrintTo(const RoundTrip& row, std::ostream* os) { *os << row.name; }

class PlistRoundTripTest : public PlistDefaultsTest, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(PlistRoundTripTest, ValueReadsBackAfterRestart) {
    open()->setObject("key", GetParam().value);
    const auto again = open();
    const auto read = again->object("key");
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, GetParam().value);
    EXPECT_TRUE(log.lines.empty()) << log.lines.front();
}

INSTANTIATE_TEST_SUITE_P(
    Types, PlistRoundTripTest,
    ::testing::Values(
        RoundTrip{"float_opacity", Value::real(static_cast<double>(0.8f))},
        RoundTrip{"real_all_digits", Value::real(0.1 + 0.2)},
        RoundTrip{"integer_smallest", Value::integer(INT64_MIN)},
        RoundTrip{"string_markup_and_symbols", Value::string("<a & b> \"\u2303\u21e7Z\"")},
        RoundTrip{"array_mixed", Value::array({Value::integer(1), Value::string("two"), Value::boolean(true)})},
        RoundTrip{"dictionary_nested",
                  Value::dictionary({{"selectMode", Value::dictionary({{"control", Value::boolean(true)},
                                                                        {"keycode", Value::integer(6)},
                                                                        {"character", Value::string("Z")}})},
                                     {"rows", Value::array({Value::dictionary({})})}})}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(PlistDefaultsTest, FileIsPrivateXmlAndNoTemporaryIsLeft) {
    open()->setObject("clickout", Value::boolean(true));
    struct stat st {};
    ASSERT_EQ(stat(file().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(readFile(file()).rfind("<?xml", 0), 0u);
    EXPECT_EQ(entries(file().parent_path()), std::vector<fs::path>{file().filename()});
}

TEST_F(PlistDefaultsTest, BinaryListIsRead) {
    // {"opacity": 0.5} as a binary list, the form other tools often write.
    static const char binary[] =
        "bplist00\xd1\x01\x02\x57opacity\x23\x3f\xe0\x00\x00\x00\x00\x00\x00\x08\x0b\x13\x00\x00\x00\x00\x00"
        "\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
        "\x00\x00\x1c";
    writeFile(std::string(binary, sizeof binary - 1));
    EXPECT_EQ(open()->object("opacity"), Value::real(0.5));
    EXPECT_TRUE(log.lines.empty());
}

// --- damaged and foreign files ----------------------------------------------------

struct Damaged {
    const char* name;
    std::string bytes;
};

void PrintTo(const Damaged& row, std::ostream* os) { *os << row.name; }

class PlistDamagedFileTest : public PlistDefaultsTest, public ::testing::WithParamInterface<Damaged> {};

TEST_P(PlistDamagedFileTest, IsMovedAsideIntactLoggedAndTheStoreStartsEmpty) {
    writeFile(GetParam().bytes);
    auto defaults = open();

    EXPECT_FALSE(defaults->object(prefkey::opacity).has_value());
    EXPECT_FALSE(fs::exists(file()));
    const auto names = entries(file().parent_path());
    ASSERT_EQ(names.size(), 1u);
    const std::string aside = names.front().string();
    EXPECT_EQ(aside.rfind(file().filename().string() + ".corrupt-", 0), 0u) << aside;
    EXPECT_EQ(readFile(file().parent_path() / aside), GetParam().bytes) << "the user's bytes are kept as they were";
    EXPECT_TRUE(log.contains("damaged")) << "one clear line says what happened";
    EXPECT_TRUE(log.contains(aside));

    // The next change writes a fresh file beside the one kept aside.
    setFloat(*defaults, prefkey::opacity, 0.8f);
    EXPECT_EQ(floatForKey(*open(), prefkey::opacity), 0.8f);
    EXPECT_EQ(entries(file().parent_path()).size(), 2u);
    // A second damaged file is kept too, beside the first.
    writeFile(GetParam().bytes);
    open();
    for (const fs::path& name : entries(file().parent_path())) {
        EXPECT_EQ(readFile(file().parent_path() / name), GetParam().bytes) << name;
    }
    EXPECT_EQ(entries(file().parent_path()).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PlistDamagedFileTest,
    ::testing::Values(Damaged{"text", "opacity = 0.8\n"},
                      Damaged{"truncated_xml", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>opacity</key>"},
                      Damaged{"empty", ""}, Damaged{"binary_garbage", std::string("bplist00\x01\x02\x03\xff", 12)},
                      Damaged{"string_root", "<?xml version=\"1.0\"?><plist version=\"1.0\"><string>x</string></plist>"}),
    [](const auto& row) { return std::string(row.param.name); });

// --- failed writes ----------------------------------------------------------------

TEST_F(PlistDefaultsTest, FailedWriteReportsFalseLogsOnceAndKeepsTheValueInMemory) {
    // The folder's place is taken by a file: nothing can be written there.
    dir.write("blocked", "x");
    PlistDefaults defaults(dir / "blocked/prefs.plist", log);
    defaults.setObject("a", Value::integer(1));
    defaults.setObject("b", Value::integer(2));
    EXPECT_FALSE(defaults.synchronize());
    EXPECT_EQ(defaults.object("b"), Value::integer(2));
    EXPECT_EQ(std::count_if(log.lines.begin(), log.lines.end(), [](auto& l) { return l.find("cannot save") != l.npos; }), 1);
}

// --- what lies at the path -------------------------------------------------------

struct Special {
    const char* name;
    std::function<bool(const fs::path& at, const fs::path& folder)> make;   ///< false: cannot here
};

void PrintTo(const Special& row, std::ostream* os) { *os << row.name; }

class PlistSpecialFileTest : public PlistDefaultsTest, public ::testing::WithParamInterface<Special> {};

std::string describe(const fs::path& p) {
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0) return "nothing";
    std::string what = std::to_string(st.st_mode & S_IFMT) + "/" + std::to_string(st.st_rdev);
    return S_ISLNK(st.st_mode) ? what + " -> " + fs::read_symlink(p).string() + " " + describe(fs::read_symlink(p)) : what;
}

// Only a regular file, or a link to one, is ever replaced: anything else at the
// path is left exactly as it was, the settings live in memory, one line says so.
TEST_P(PlistSpecialFileTest, IsLeftAloneAndTheSettingsLiveInMemory) {
    fs::create_directories(file().parent_path());
    if (!GetParam().make(file(), dir.path())) {
        GTEST_SKIP() << "cannot make one here";
    }
    const std::string before = describe(file());
    auto defaults = open();   // a FIFO must not hold this up
    setFloat(*defaults, prefkey::opacity, 0.7f);
    EXPECT_FALSE(defaults->synchronize());
    EXPECT_EQ(floatForKey(*defaults, prefkey::opacity), 0.7f);
    EXPECT_EQ(describe(file()), before);
    EXPECT_EQ(entries(file().parent_path()), std::vector<fs::path>{file().filename()}) << "no temporary left";
    EXPECT_EQ(log.lines.size(), 1u);
    EXPECT_TRUE(log.contains(file().string()));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PlistSpecialFileTest,
    ::testing::Values(
        Special{"fifo", [](const fs::path& at, const fs::path&) { return mkfifo(at.c_str(), 0600) == 0; }},
        // A private copy of /dev/null: a fault here must not cost the real one.
        Special{"link_to_device",
                [](const fs::path& at, const fs::path& folder) {
                    return mknod((folder / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                           symlink((folder / "null").c_str(), at.c_str()) == 0;
                }},
        Special{"dangling_link",
                [](const fs::path& at, const fs::path& folder) { return symlink((folder / "gone").c_str(), at.c_str()) == 0; }},
        Special{"folder", [](const fs::path& at, const fs::path&) { return mkdir(at.c_str(), 0700) == 0; }}),
    [](const auto& row) { return std::string(row.param.name); });

// A file that cannot be read is not damaged: it stays where it is, unchanged,
// and nothing is saved over it. Root reads any file, so the reading runs as
// nobody in a child process, in a folder nobody could rename and write in.
TEST_F(PlistDefaultsTest, UnreadableFileIsKeptAndNeverWrittenOver) {
    const std::string bytes = toPlistXml(Value::dictionary({{"opacity", Value::real(0.5)}}));
    writeFile(bytes);
    const fs::path folder = file().parent_path();
    uid_t uid = getuid();
    gid_t gid = getgid();
    if (geteuid() == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody) GTEST_SKIP() << "no unprivileged user to read as";
        uid = nobody->pw_uid, gid = nobody->pw_gid;
        ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
        ASSERT_EQ(chown(folder.c_str(), uid, gid), 0);
    }
    ASSERT_EQ(chmod(file().c_str(), 0), 0);
    GTEST_FLAG_SET(death_test_style, "fast");   // the child must work in this very folder
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && (setgid(gid) != 0 || setuid(uid) != 0)) std::_Exit(2);
            auto defaults = open();
            setFloat(*defaults, prefkey::opacity, 0.9f);
            defaults->synchronize();
            for (const auto& line : log.lines) std::fprintf(stderr, "%s\n", line.c_str());
            std::_Exit(floatForKey(*defaults, prefkey::opacity) == 0.9f ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "cannot be read");
    ASSERT_EQ(chmod(file().c_str(), 0600), 0);
    EXPECT_EQ(entries(folder), std::vector<fs::path>{file().filename()});
    EXPECT_EQ(readFile(file()), bytes);
}

// A save killed half-way leaves "<file>.tmp-<pid>-XXXXXX": the next start removes
// those whose writer is gone or that are too old to be in progress, nothing else.
TEST_F(PlistDefaultsTest, UnfinishedSavesOfEarlierRunsAreRemovedAndNothingElse) {
    const std::string base = file().filename().string();
    const std::string dead = std::to_string(std::numeric_limits<int>::max());   // beyond any pid
    const std::string live = std::to_string(getppid());
    struct Left {
        std::string name;
        int ageSeconds;
        bool removed;
    };
    const Left left[] = {{base + ".tmp-" + dead + "-a1B2c3", 0, true},
                         {base + ".tmp-" + live + "-a1B2c3", 0, false},   // another run saving right now
                         {base + ".tmp-" + live + "-Zz9Zz9", 600, true},
                         {base + ".tmp-" + dead + "-short", 600, false},
                         {base + ".backup", 600, false},
                         {"other.plist.tmp-" + dead + "-a1B2c3", 600, false}};
    for (const Left& l : left) {
        const fs::path p = dir.write(std::string("Dimwell/") + l.name, "x");
        fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::seconds(l.ageSeconds));
    }
    open();
    for (const Left& l : left) {
        EXPECT_EQ(fs::exists(file().parent_path() / l.name), !l.removed) << l.name;
    }
    EXPECT_TRUE(log.contains("removed 2"));
}

TEST_F(PlistDefaultsTest, LinkedFileStaysALinkToItsTarget) {
    const fs::path target = dir.write("dotfiles/dimwell.plist", toPlistXml(Value::dictionary({{"opacity", Value::real(0.5)}})));
    fs::create_directories(file().parent_path());
    fs::create_symlink(target, file());
    setFloat(*open(), prefkey::opacity, 0.7f);
    EXPECT_TRUE(fs::is_symlink(file()));
    EXPECT_EQ(floatForKey(*open(), prefkey::opacity), 0.7f);
}

} // namespace
} // namespace dimwell::x11
