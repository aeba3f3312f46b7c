#pragma once
// The persistent key-value store of the main program's preferences.

#include "common/PropertyValue.h"

#include <optional>
#include <string>

namespace dimwell {

class Defaults {
public:
    virtual ~Defaults() = default;
    /// The stored value, or nothing when the key is absent.
    virtual std::optional<Value> object(const std::string& key) const = 0;
    /// The key is stored with a value no Value can hold (a date, raw data):
    /// `object` yields nothing, yet the key was set, so it is not absent.
    virtual bool holdsUnreadableValue(const std::string& /*key*/) const { return false; }
    virtual void setObject(const std::string& key, Value value) = 0;
    virtual void removeObject(const std::string& key) = 0;
    /// Writes the store to disk; false when that failed.
    virtual bool synchronize() = 0;
};

} // namespace dimwell
