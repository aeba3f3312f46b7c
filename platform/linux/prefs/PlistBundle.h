#pragma once
// The installed program: the folder of the executable and the resources it
// loads by name (property lists, pictures, the tutorial program).

#include "common/Log.h"
#include "platform/ports/Bundle.h"

#include <string>

namespace dimwell::x11 {

class PlistBundle : public Bundle {
public:
    /// Finds the resource folder: $DIMWELL_RESOURCES; else share/dimwell beside
    /// the executable's bin folder (an installed tree); else the source tree's
    /// resources (a build tree); else the configured install location.
    explicit PlistBundle(LogSink& log);
    /// A bundle with explicit folders, for tests.
    PlistBundle(std::string programFolder, std::string resourceFolder, LogSink& log);

    std::optional<Value> propertyList(const std::string& name) const override;
    /// For type "app", a program of that name beside this one comes first.
    std::string resourcePath(const std::string& name, const std::string& type) const override;
    /// The program itself, not its folder: installed programs share their folder
    /// (/usr/bin), and whatever lies inside the bundle path counts as this
    /// application's (its login item, for one).
    std::string bundlePath() const override { return programFolder_ + "/" + processName(); }
    std::string processName() const override { return "Dimwell"; }

    const std::string& resourceFolder() const { return resourceFolder_; }

private:
    std::string programFolder_;
    std::string resourceFolder_;
    Logger log_;
};

} // namespace dimwell::x11
