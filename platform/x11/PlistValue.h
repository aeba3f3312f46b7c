#pragma once
// Property-list files and values: libplist on one side, the program's Value on
// the other. Reads XML and binary lists, writes XML.

#include "common/PropertyValue.h"

#include <functional>
#include <optional>
#include <string>

namespace dimwell::x11 {

/// Reports what a conversion had to leave out (dates, data, nesting too deep).
using PlistNote = std::function<void(const std::string& what)>;

enum class PlistReadStatus { Ok, Missing, NotAFile, Unreadable, Malformed };

struct PlistReadResult {
    PlistReadStatus status = PlistReadStatus::Missing;
    std::optional<Value> value;   ///< set with Ok
    std::string detail;           ///< why it failed, for the log
};

/// Parses a whole property list held in memory (XML or binary).
PlistReadResult parsePlist(const std::string& bytes, const PlistNote& note = {});
/// Reads and parses the file at `path`.
PlistReadResult readPlistFile(const std::string& path, const PlistNote& note = {});
/// The XML text of `value`.
std::string toPlistXml(const Value& value);

} // namespace dimwell::x11
