#include "platform/linux/remote/CommandLineAnswer.h"

#include "app/CommandLine.h"
#include "app/RemoteActions.h"
#include "platform/linux/remote/RemoteClient.h"

#include <QCoreApplication>

#include <algorithm>

#include <cstdio>
#include <string>
#include <vector>

namespace dimwell::linuxdesktop {

namespace {

constexpr int usageError = 2;

} // namespace

std::optional<int> answerCommandLine(int argc, char* argv[]) {
    const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
    const CommandLine line = parseCommandLine(arguments);
    switch (line.kind) {
    case CommandLine::Kind::Run:
        return std::nullopt;
    case CommandLine::Kind::Help:
        std::fputs(commandLineHelp().c_str(), stdout);
        return 0;
    case CommandLine::Kind::Version:
        std::printf("Dimwell %s\n", DIMWELL_VERSION);
        return 0;
    case CommandLine::Kind::Action: {
        const QCoreApplication app(argc, argv);
        return sendRemoteAction(line.action);
    }
    case CommandLine::Kind::UnknownAction:
        std::fprintf(stderr, "Dimwell: there is no action \"%s\"; the actions are:\n", line.action.c_str());
        for (const std::string& name : remoteActionNames()) {
            std::fprintf(stderr, "  %s\n", name.c_str());
        }
        return usageError;
    case CommandLine::Kind::Invalid:
        std::fprintf(stderr, "Dimwell: %s\n\n%s", line.problem.c_str(), commandLineHelp().c_str());
        return usageError;
    }
    return usageError;
}

} // namespace dimwell::linuxdesktop
