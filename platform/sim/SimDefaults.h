#pragma once
// An in-memory preference store that can be told its disk is failing.

#include "platform/ports/Defaults.h"

#include <map>
#include <string>
#include <vector>

namespace dimwell {

class SimDefaults : public Defaults {
public:
    std::optional<Value> object(const std::string& key) const override;
    void setObject(const std::string& key, Value value) override;
    void removeObject(const std::string& key) override;
    bool synchronize() override;

    /// Every key written since the start (or the last `clearWrites`), in order.
    const std::vector<std::string>& writes() const { return writes_; }
    void clearWrites() { writes_.clear(); }
    bool has(const std::string& key) const { return values_.count(key) != 0; }
    /// Stores without counting as a write: the state a test starts from.
    void preset(const std::string& key, Value value) { values_[key] = std::move(value); }

    void setFailSynchronize(bool fail) { failSynchronize_ = fail; }
    int synchronizeCount() const { return synchronizeCount_; }

private:
    std::map<std::string, Value> values_;
    std::vector<std::string> writes_;
    bool failSynchronize_ = false;
    int synchronizeCount_ = 0;
};

} // namespace dimwell
