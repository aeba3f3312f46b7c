#pragma once
// The session's login items held in memory; items may be unresolvable (their
// program was deleted) and the list itself may be unobtainable.

#include "platform/ports/LoginItems.h"

#include <optional>
#include <string>
#include <vector>

namespace dimwell {

class SimLoginItemsService : public LoginItemsService {
public:
    std::unique_ptr<LoginItemsList> sessionLoginItems() override;

    void setAvailable(bool available) { available_ = available; }
    /// An item already in the list; nothing for one that does not resolve.
    std::uint64_t addItem(std::optional<std::string> resolvedPath);
    /// The items' paths in list order ("" for unresolvable ones).
    std::vector<std::string> paths() const;
    const std::vector<LoginItem>& items() const { return items_; }

private:
    friend class SimLoginItemsList;
    std::vector<LoginItem> items_;
    std::uint64_t nextId_ = 1;
    bool available_ = true;
};

class SimLoginItemsList : public LoginItemsList {
public:
    explicit SimLoginItemsList(SimLoginItemsService& service) : service_(service) {}
    std::vector<LoginItem> snapshot() const override { return service_.items_; }
    bool insertItem(const std::string& path) override;
    bool removeItem(std::uint64_t id) override;

private:
    SimLoginItemsService& service_;
};

} // namespace dimwell
