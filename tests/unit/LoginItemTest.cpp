// The login item: which entries are this application's, adding, removing and
// the toggle.

#include "app/AppDelegate.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimShell.h"

#include <gtest/gtest.h>

namespace dimwell {
namespace {

struct PathCase {
    const char* item;
    const char* bundle;
    bool ours;
};

class ApplicationPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(ApplicationPath, Matches) {
    const PathCase& c = GetParam();
    EXPECT_EQ(isPathOfApplication(c.item, c.bundle), c.ours) << c.item << " vs " << c.bundle;
}

INSTANTIATE_TEST_SUITE_P(
    LoginItems, ApplicationPath,
    ::testing::Values(PathCase{"/opt/Dimwell", "/opt/Dimwell", true},
                      PathCase{"/opt/Dimwell/Dimwell", "/opt/Dimwell", true},
                      // A sibling that only extends the name is another program.
                      PathCase{"/opt/Dimwell2", "/opt/Dimwell", false},
                      PathCase{"/opt/Dimwell.old/Dimwell", "/opt/Dimwell", false},
                      // An empty or root bundle path must not claim the whole list.
                      PathCase{"/usr/bin/foo", "", false}, PathCase{"/usr/bin/foo", "/", false}));

struct LoginItems : ::testing::Test {
    SimDesktop desk;
    SimShell shell;
    AppDelegate app{desk.ports(), shell.ports()};
    std::unique_ptr<LoginItemsList> list = shell.loginItems.sessionLoginItems();
    const std::string bundle = "/opt/Dimwell";

    bool exists() { return app.loginItemExistsWithLoginItemReference(*list, bundle); }
};

TEST_F(LoginItems, EnablingTwiceAddsTwoAndOneDisableRemovesBoth) {
    shell.loginItems.addItem("/usr/bin/other");
    app.enableLoginItemWithLoginItemsReference(*list, bundle);
    app.enableLoginItemWithLoginItemsReference(*list, bundle);
    EXPECT_EQ(shell.loginItems.paths(), (std::vector<std::string>{"/usr/bin/other", bundle, bundle}));
    EXPECT_TRUE(exists());

    app.disableLoginItemWithLoginItemsReference(*list, bundle);
    EXPECT_EQ(shell.loginItems.paths(), (std::vector<std::string>{"/usr/bin/other"}));
    EXPECT_FALSE(exists());
}

TEST_F(LoginItems, UnresolvedItemsNeverMatchNorGetLoggedAndStay) {
    shell.loginItems.addItem(std::nullopt);
    shell.loginItems.addItem("/usr/bin/other");
    EXPECT_FALSE(exists());
    EXPECT_EQ(desk.log.lines(), (std::vector<std::string>{"/usr/bin/other"}));
    app.disableLoginItemWithLoginItemsReference(*list, bundle);
    EXPECT_EQ(shell.loginItems.items().size(), 2u);
}


TEST_F(LoginItems, ToggleFollowsTheSenderAndUsesTheBundlePath) {
    desk.bundle.setBundlePath("/home/u/Programs/Dimwell");
    app.toggleLoginItem(true);
    EXPECT_EQ(shell.loginItems.paths(), (std::vector<std::string>{"/home/u/Programs/Dimwell"}));
    app.toggleLoginItem(false);
    EXPECT_TRUE(shell.loginItems.items().empty());
    // Without a list of login items the toggle only logs.
    shell.loginItems.setAvailable(false);
    app.toggleLoginItem(true);
    EXPECT_TRUE(shell.loginItems.items().empty());
    EXPECT_EQ(desk.log.count("toggle"), 3);
}

} // namespace
} // namespace dimwell
