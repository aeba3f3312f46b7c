#include "platform/sim/SimBundle.h"

#include "platform/sim/SimResources.h"

namespace dimwell {

std::optional<Value> SimBundle::propertyList(const std::string& name) const {
    const auto it = plists_.find(name);
    if (it == plists_.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::string SimBundle::resourcePath(const std::string& name, const std::string& type) const {
    const std::string file = type.empty() ? name : name + "." + type;
    const auto it = resources_.find(file);
    return it == resources_.end() ? std::string() : it->second;
}

void SimBundle::addResource(const std::string& name, const std::string& type) {
    const std::string file = type.empty() ? name : name + "." + type;
    resources_[file] = bundlePath_ + "/resources/" + file;
}

void SimBundle::installStandardResources() {
    setPropertyList("hotkeys", simres::hotkeysPlist());
    setPropertyList("hotkeySettings", simres::hotkeySettingsPlist());
}

} // namespace dimwell
