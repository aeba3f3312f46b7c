#include "app/CommandLine.h"

#include "app/RemoteActions.h"

#include <algorithm>

namespace dimwell {

namespace {

CommandLine invalid(std::string problem) {
    CommandLine line;
    line.kind = CommandLine::Kind::Invalid;
    line.problem = std::move(problem);
    return line;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    std::string platform;
    bool seen = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--platform" || arg.starts_with("--platform=")) {
            if (arg == "--platform" && i + 1 == arguments.size()) {
                return invalid("--platform needs x11 or wayland");
            }
            platform = arg == "--platform" ? arguments[++i] : arg.substr(std::string("--platform=").size());
            if (platform != "x11" && platform != "wayland") {
                return invalid("--platform " + platform + ": the platforms are x11 and wayland");
            }
            continue;
        }
        CommandLine next;
        if (arg == "-h" || arg == "--help") {
            next.kind = CommandLine::Kind::Help;
        } else if (arg == "-v" || arg == "--version") {
            next.kind = CommandLine::Kind::Version;
        } else if (arg == "--action" || arg.starts_with("--action=")) {
            if (arg == "--action") {
                if (i + 1 == arguments.size()) {
                    return invalid("--action needs the name of an action");
                }
                next.action = arguments[++i];
            } else {
                next.action = arg.substr(std::string("--action=").size());
            }
            next.kind = isRemoteAction(next.action) ? CommandLine::Kind::Action : CommandLine::Kind::UnknownAction;
        } else {
            return invalid("unknown option " + arg);
        }
        // One request per call: two would leave the order they run in unclear.
        if (seen) {
            return invalid("only one option at a time");
        }
        line = next;
        seen = true;
    }
    line.platform = platform;
    return line;
}

std::string commandLineHelp() {
    std::string text = "Usage: Dimwell [--platform x11|wayland] [--action NAME | --help | --version]\n"
                       "Dims every display except one clear rectangle.\n"
                       "\n"
                       "Options:\n"
                       "  --action NAME  ask the running Dimwell to do NAME, then exit\n"
                       "  --platform P   run on x11 or wayland instead of the session's own\n"
                       "  -h, --help     print this help\n"
                       "  -v, --version  print the version\n"
                       "\n"
                       "Actions:\n";
    for (const std::string& name : remoteActionNames()) {
        std::string row = "  " + name;
        row.resize(std::max<std::size_t>(row.size() + 2, 19), ' ');
        text += row + remoteActionSummary(name) + "\n";
    }
    return text;
}

} // namespace dimwell
