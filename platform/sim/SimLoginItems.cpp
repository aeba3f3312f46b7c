#include "platform/sim/SimLoginItems.h"

#include <algorithm>

namespace dimwell {

std::unique_ptr<LoginItemsList> SimLoginItemsService::sessionLoginItems() {
    if (!available_) {
        return nullptr;
    }
    return std::make_unique<SimLoginItemsList>(*this);
}

std::uint64_t SimLoginItemsService::addItem(std::optional<std::string> resolvedPath) {
    items_.push_back({nextId_, std::move(resolvedPath)});
    return nextId_++;
}

std::vector<std::string> SimLoginItemsService::paths() const {
    std::vector<std::string> p;
    for (const LoginItem& item : items_) {
        p.push_back(item.resolvedPath.value_or(""));
    }
    return p;
}

bool SimLoginItemsList::insertItem(const std::string& path) {
    service_.addItem(path);
    return true;
}

bool SimLoginItemsList::removeItem(std::uint64_t id) {
    auto& items = service_.items_;
    const auto it = std::find_if(items.begin(), items.end(), [id](const LoginItem& i) { return i.id == id; });
    if (it == items.end()) {
        return false;
    }
    items.erase(it);
    return true;
}

} // namespace dimwell
