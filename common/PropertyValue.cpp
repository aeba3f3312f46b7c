#include "common/PropertyValue.h"

namespace dimwell {

std::optional<double> Value::asDouble() const {
    switch (kind()) {
    case Kind::Real: return std::get<double>(v_);
    case Kind::Bool: return std::get<bool>(v_) ? 1.0 : 0.0;
    case Kind::Integer: return static_cast<double>(std::get<std::int64_t>(v_));
    default: return std::nullopt;
    }
}

std::optional<std::int64_t> Value::asInteger() const {
    switch (kind()) {
    case Kind::Real: {
        const double d = std::get<double>(v_);
        // Out-of-range or NaN reals would be undefined to convert; read them as 0.
        if (!(d > -9.2e18 && d < 9.2e18)) {
            return 0;
        }
        return static_cast<std::int64_t>(d);
    }
    case Kind::Bool: return std::get<bool>(v_) ? 1 : 0;
    case Kind::Integer: return std::get<std::int64_t>(v_);
    default: return std::nullopt;
    }
}

std::optional<bool> Value::asBool() const {
    switch (kind()) {
    case Kind::Real: return std::get<double>(v_) != 0.0;
    case Kind::Bool: return std::get<bool>(v_);
    case Kind::Integer: return std::get<std::int64_t>(v_) != 0;
    default: return std::nullopt;
    }
}

const Array* Value::asArray() const {
    const auto* p = std::get_if<std::shared_ptr<Array>>(&v_);
    return p ? p->get() : nullptr;
}

const Dictionary* Value::asDictionary() const {
    const auto* p = std::get_if<std::shared_ptr<Dictionary>>(&v_);
    return p ? p->get() : nullptr;
}

bool operator==(const Value& a, const Value& b) {
    if (a.kind() != b.kind()) {
        return false;
    }
    switch (a.kind()) {
    case Value::Kind::List: return *a.asArray() == *b.asArray();
    case Value::Kind::Map: return *a.asDictionary() == *b.asDictionary();
    default: return a.v_ == b.v_;
    }
}

const Value* lookup(const Dictionary& dict, const std::string& key) {
    const auto it = dict.find(key);
    return it == dict.end() ? nullptr : &it->second;
}

const Value* lookup(const Value& dict, const std::string& key) {
    const Dictionary* d = dict.asDictionary();
    return d ? lookup(*d, key) : nullptr;
}

} // namespace dimwell
