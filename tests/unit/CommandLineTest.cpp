// Dimwell's command line: what it asks for, and the requests it refuses.

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

} // namespace
} // namespace dimwell
