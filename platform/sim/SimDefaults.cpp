#include "platform/sim/SimDefaults.h"

namespace dimwell {

std::optional<Value> SimDefaults::object(const std::string& key) const {
    const auto it = values_.find(key);
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

void SimDefaults::setObject(const std::string& key, Value value) {
    values_[key] = std::move(value);
    writes_.push_back(key);
}

void SimDefaults::removeObject(const std::string& key) {
    values_.erase(key);
    writes_.push_back(key);
}

bool SimDefaults::synchronize() {
    ++synchronizeCount_;
    return !failSynchronize_;
}

} // namespace dimwell
