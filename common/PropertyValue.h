#pragma once
// A property-list value: what the preferences and the bundle's seed files hold.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace dimwell {

class Value;
using Array = std::vector<Value>;
using Dictionary = std::map<std::string, Value>;

class Value {
public:
    enum class Kind { Real, Bool, Integer, String, List, Map };

    Value() : v_(false) {}
    static Value real(double d) { return Value(Storage(d)); }
    static Value boolean(bool b) { return Value(Storage(b)); }
    static Value integer(std::int64_t i) { return Value(Storage(i)); }
    static Value string(std::string s) { return Value(Storage(std::move(s))); }
    static Value array(Array a) { return Value(Storage(std::make_shared<Array>(std::move(a)))); }
    static Value dictionary(Dictionary d) { return Value(Storage(std::make_shared<Dictionary>(std::move(d)))); }

    Kind kind() const { return static_cast<Kind>(v_.index()); }
    bool isNumber() const { return kind() == Kind::Real || kind() == Kind::Integer || kind() == Kind::Bool; }

    /// Numeric readings accept any number: booleans read as 0/1, reals truncate.
    std::optional<double> asDouble() const;
    std::optional<std::int64_t> asInteger() const;
    std::optional<bool> asBool() const;
    const std::string* asString() const { return std::get_if<std::string>(&v_); }
    const Array* asArray() const;
    const Dictionary* asDictionary() const;

    friend bool operator==(const Value& a, const Value& b);

private:
    using Storage = std::variant<double, bool, std::int64_t, std::string, std::shared_ptr<Array>, std::shared_ptr<Dictionary>>;
    explicit Value(Storage s) : v_(std::move(s)) {}
    Storage v_;
};

/// Looks up `key` in a dictionary value; nothing when absent or not a dictionary.
const Value* lookup(const Value& dict, const std::string& key);
const Value* lookup(const Dictionary& dict, const std::string& key);

} // namespace dimwell
