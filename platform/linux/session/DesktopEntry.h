#pragma once
// Desktop Entry files (the freedesktop.org format of launchers and autostart
// entries): reading the [Desktop Entry] group, splitting an Exec line into its
// arguments, and writing one back so that any path survives the round trip.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dimwell::x11 {

/// The keys of the [Desktop Entry] group, values with string escapes undone.
/// Nothing when the text has no such group.
std::optional<std::map<std::string, std::string>> readDesktopEntryGroup(std::string_view text);

/// Undoes the escapes of a string value: \s \n \t \r \\.
std::string unescapeDesktopString(std::string_view value);
/// The inverse, for writing any text as a value.
std::string escapeDesktopString(std::string_view text);

/// The arguments of an Exec value (string escapes already undone): field codes
/// dropped ("%%" is a literal "%"), double-quoted arguments with their backslash
/// escapes, empty arguments from lone field codes removed. Nothing when a quote
/// is left open.
std::optional<std::vector<std::string>> splitExec(std::string_view exec);

/// One Exec argument written so that `splitExec` gives it back unchanged.
std::string quoteExecArgument(std::string_view argument);

/// The program an Exec value starts: an absolute path as it stands, a bare name
/// looked up on `searchPath` (colon-separated), then made canonical. Nothing
/// when it names no executable file.
std::optional<std::string> resolveExecProgram(std::string_view exec, std::string_view searchPath);

} // namespace dimwell::x11
