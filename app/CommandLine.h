#pragma once
// Dimwell's command line: run, print help or version, or forward one action
// to the Dimwell already running.

#include <string>
#include <vector>

namespace dimwell {

struct CommandLine {
    enum class Kind {
        Run,           ///< no options: start Dimwell
        Help,          ///< --help
        Version,       ///< --version
        Action,        ///< --action with a known name
        UnknownAction, ///< --action with a name that is not an action
        Invalid,       ///< anything else; `problem` says what
    };
    Kind kind = Kind::Run;
    std::string action;
    std::string problem;
    /// --platform x11|wayland: the desktop to run on; empty to choose by the session.
    std::string platform;
};

/// `arguments` without the program name.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

/// Usage, options and the list of actions.
std::string commandLineHelp();

} // namespace dimwell
