#pragma once
// Login items as the session knows them: the autostart entries of the user's
// configuration ($XDG_CONFIG_HOME/autostart/*.desktop). Each entry resolves to
// the program its Exec line starts; an entry with Hidden=true is switched off
// and counts as not there.

#include "common/Log.h"
#include "platform/ports/LoginItems.h"

#include <map>
#include <string>

namespace dimwell::x11 {

class XdgLoginItemsList : public LoginItemsList {
public:
    XdgLoginItemsList(std::string autostartFolder, std::string searchPath, LogSink& log);

    /// Entries in file-name order; files that vanish meanwhile are left out.
    std::vector<LoginItem> snapshot() const override;
    /// Writes a new entry that starts `path`, under a file name no other entry has.
    bool insertItem(const std::string& path) override;
    /// Deletes the entry's file.
    bool removeItem(std::uint64_t id) override;

    const std::string& folder() const { return folder_; }

private:
    std::uint64_t idFor(const std::string& fileName) const;

    std::string folder_;
    std::string searchPath_;
    Logger log_;
    // Ids stay the same for a file across snapshots of this list.
    mutable std::map<std::string, std::uint64_t> ids_;
    mutable std::uint64_t nextId_ = 1;
};

class XdgLoginItemsService : public LoginItemsService {
public:
    /// The user's autostart folder from the environment.
    explicit XdgLoginItemsService(LogSink& log);
    XdgLoginItemsService(std::string autostartFolder, LogSink& log);

    /// Nothing when no configuration folder can be named (no XDG_CONFIG_HOME, no HOME).
    std::unique_ptr<LoginItemsList> sessionLoginItems() override;

    /// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart; empty when neither is known.
    static std::string userAutostartFolder();

private:
    std::string folder_;
    LogSink& log_;
};

/// The text of an autostart entry that starts `program`.
std::string autostartEntryText(const std::string& program);

} // namespace dimwell::x11
