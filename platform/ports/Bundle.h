#pragma once
// The installed program: where it lives, its name and its resource files.

#include "common/PropertyValue.h"

#include <optional>
#include <string>

namespace dimwell {

class Bundle {
public:
    virtual ~Bundle() = default;
    /// Reads resource `name`.plist; nothing when missing or unreadable.
    virtual std::optional<Value> propertyList(const std::string& name) const = 0;
    /// Path of resource `name` with `type` (empty type: no extension); empty when missing.
    virtual std::string resourcePath(const std::string& name, const std::string& type) const = 0;
    /// The installed program folder.
    virtual std::string bundlePath() const = 0;
    /// This process's name, as other programs see it in the window list.
    virtual std::string processName() const = 0;
};

} // namespace dimwell
