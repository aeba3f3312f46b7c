#pragma once
// The preferences as a property-list file: read once at start, kept in memory,
// and written through on every change, atomically, so that a crash in the middle
// of a write never costs what the user stored.

#include "common/Log.h"
#include "platform/ports/Defaults.h"

#include <set>
#include <string>

namespace dimwell::x11 {

class PlistDefaults : public Defaults {
public:
    /// Reads `path`. A damaged or foreign file is moved aside (never deleted),
    /// logged, and the store starts empty. A file that cannot be read is not
    /// damaged: it stays where it is and nothing is saved over it. Unfinished
    /// saves of earlier runs are removed.
    PlistDefaults(std::string path, LogSink& log);

    /// $XDG_CONFIG_HOME/Dimwell/com.Orvalen.Dimwell.plist, XDG_CONFIG_HOME
    /// defaulting to ~/.config.
    static std::string defaultPath();

    std::optional<Value> object(const std::string& key) const override;
    bool holdsUnreadableValue(const std::string& key) const override;
    void setObject(const std::string& key, Value value) override;
    void removeObject(const std::string& key) override;
    bool synchronize() override;

    const std::string& path() const { return path_; }

private:
    void load();
    void setAside(const std::string& why);
    void removeStaleTemporaries();
    bool write();

    std::string path_;
    Logger log_;
    Dictionary values_;
    /// Keys the file sets to values a Value cannot hold (dates, data).
    std::set<std::string> unreadable_;
    /// A damaged file that could not be moved aside is never written over.
    bool mayWrite_ = true;
    bool lastWriteFailed_ = false;
};

} // namespace dimwell::x11
