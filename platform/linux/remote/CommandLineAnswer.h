#pragma once
// The options Dimwell answers without starting: help, version and remote actions.

#include <optional>

namespace dimwell::linuxdesktop {

/// The exit status when the command line asked for something other than
/// running Dimwell; nothing when Dimwell should start. Opens no display.
std::optional<int> answerCommandLine(int argc, char* argv[]);

} // namespace dimwell::linuxdesktop
