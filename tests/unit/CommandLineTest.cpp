// Dimwell's command line: what it asks for, and the requests it refuses.

#include "app/BackendChoice.h"
#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace dimwell {
namespace {

using Kind = CommandLine::Kind;
using Args = std::vector<std::string>;

TEST(CommandLine, ReadsEachRequestAndRefusesTheRest) {
    const struct {
        Args args;
        Kind kind;
        std::string action;
    } cases[] = {
        {{}, Kind::Run, ""},
        {{"--action", "windowMode"}, Kind::Action, "windowMode"},
        {{"--action=quit"}, Kind::Action, "quit"},
        {{"--action", "windowmode"}, Kind::UnknownAction, "windowmode"},
        {{"--action="}, Kind::UnknownAction, ""},
        {{"--help"}, Kind::Help, ""},
        {{"-v"}, Kind::Version, ""},
        {{"--action"}, Kind::Invalid, ""},
        {{"--action", "quit", "--help"}, Kind::Invalid, ""},
        {{"-platform", "xcb"}, Kind::Invalid, ""},
        {{"--platform", "xcb"}, Kind::Invalid, ""},
        {{"--platform"}, Kind::Invalid, ""},
        {{"quit"}, Kind::Invalid, ""},
    };
    for (const auto& c : cases) {
        const CommandLine line = parseCommandLine(c.args);
        const std::string what = c.args.empty() ? "(none)" : c.args.front();
        EXPECT_EQ(line.kind, c.kind) << what;
        EXPECT_EQ(line.action, c.action) << what;
        EXPECT_EQ(line.kind == Kind::Invalid, !line.problem.empty()) << what;
    }
}

TEST(CommandLine, PlatformGoesWithAnyRequest) {
    EXPECT_EQ(parseCommandLine({"--platform", "wayland"}).platform, "wayland");
    const CommandLine line = parseCommandLine({"--platform=x11", "--action", "quit"});
    EXPECT_EQ(line.kind, Kind::Action);
    EXPECT_EQ(line.platform, "x11");
}

TEST(BackendChoice, SessionAndRequestDecide) {
    const struct {
        std::string requested;
        bool wayland, x, layerShell;
        Backend backend;
        bool told;   ///< an unsupported desktop, said in a window too
    } cases[] = {
        {"", true, true, true, Backend::Wayland, false},
        {"", true, true, false, Backend::None, true},   // GNOME: Xwayland would let the veil take clicks
        {"", true, false, false, Backend::None, true},
        {"", false, true, false, Backend::X11, false},
        {"", false, false, false, Backend::None, false},
        {"x11", true, true, true, Backend::None, true},   // Xwayland, even where layer shell is offered
        {"x11", false, true, false, Backend::X11, false},
        {"x11", true, false, true, Backend::None, false},
        {"wayland", true, true, false, Backend::None, true},
        {"wayland", false, true, true, Backend::None, false},
    };
    for (const auto& c : cases) {
        int asked = 0;
        const BackendChoice choice = chooseBackend({c.requested, c.wayland, c.x, [&] {
                                                        ++asked;
                                                        return c.layerShell;
                                                    }});
        const std::string what = c.requested + (c.wayland ? " wayland" : "") + (c.x ? " x" : "") +
                                 (c.layerShell ? " layer-shell" : "");
        EXPECT_EQ(choice.backend, c.backend) << what;
        EXPECT_EQ(choice.tellUser, c.told) << what;
        EXPECT_EQ(choice.backend == Backend::None, !choice.error.empty()) << what;
        // The compositor is asked only in a Wayland session.
        EXPECT_LE(asked, c.wayland ? 1 : 0) << what;
    }
}

} // namespace
} // namespace dimwell
