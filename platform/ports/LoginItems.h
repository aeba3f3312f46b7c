#pragma once
// The user's login items: the programs the session starts at login.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dimwell {

struct LoginItem {
    std::uint64_t id = 0;
    /// The program the item starts; nothing when it does not resolve.
    std::optional<std::string> resolvedPath;
};

class LoginItemsList {
public:
    virtual ~LoginItemsList() = default;
    virtual std::vector<LoginItem> snapshot() const = 0;
    /// Adds an item for `path` after the last one.
    virtual bool insertItem(const std::string& path) = 0;
    virtual bool removeItem(std::uint64_t id) = 0;
};

class LoginItemsService {
public:
    virtual ~LoginItemsService() = default;
    /// The session's list; nothing when it cannot be obtained.
    virtual std::unique_ptr<LoginItemsList> sessionLoginItems() = 0;
};

} // namespace dimwell
