#pragma once
// Property-list files and values: libplist on one side, the program's Value on
// the other. Reads XML and binary lists, writes XML.

#include "common/PropertyValue.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dimwell::x11 {

/// Reports what a conversion had to leave out (dates, data, nesting too deep).
using PlistNote = std::function<void(const std::string& what)>;

enum class PlistReadStatus { Ok, Missing, NotAFile, Unreadable, Malformed };

struct PlistReadResult {
    PlistReadStatus status = PlistReadStatus::Missing;
    std::optional<Value> value;   ///< set with Ok
    std::string detail;           ///< why it failed, for the log
    /// Keys of a top-level dictionary whose values were not kept (dates, data):
    /// they were set, so they do not count as absent.
    std::vector<std::string> unreadableKeys;
};

/// Parses a whole property list held in memory (XML or binary).
PlistReadResult parsePlist(const std::string& bytes, const PlistNote& note = {});
/// Reads and parses the file at `path`. Only a regular file (or a link to one)
/// is opened, and never in a way that waits: a FIFO, device or folder there is
/// NotAFile.
PlistReadResult readPlistFile(const std::string& path, const PlistNote& note = {});
/// The XML text of `value`.
std::string toPlistXml(const Value& value);

} // namespace dimwell::x11
