#pragma once
// The installed program as a test describes it: property lists handed in as
// values, a bundle path and the process name "Dimwell".

#include "platform/ports/Bundle.h"

#include <map>
#include <string>

namespace dimwell {

class SimBundle : public Bundle {
public:
    std::optional<Value> propertyList(const std::string& name) const override;
    std::string resourcePath(const std::string& name, const std::string& type) const override;
    std::string bundlePath() const override { return bundlePath_; }
    std::string processName() const override { return processName_; }

    void setPropertyList(const std::string& name, Value plist) { plists_[name] = std::move(plist); }
    void removePropertyList(const std::string& name) { plists_.erase(name); }
    /// Makes `name`.`type` present under the bundle's resource folder.
    void addResource(const std::string& name, const std::string& type);
    void setBundlePath(std::string path) { bundlePath_ = std::move(path); }
    void setProcessName(std::string name) { processName_ = std::move(name); }

    /// "hotkeys" and "hotkeySettings" as shipped: see SimResources.h.
    void installStandardResources();

private:
    std::map<std::string, Value> plists_;
    std::map<std::string, std::string> resources_;
    std::string bundlePath_ = "/opt/Dimwell";
    std::string processName_ = "Dimwell";
};

} // namespace dimwell
