#include "platform/sim/SimStatusMenu.h"

#include <algorithm>

namespace dimwell {

void SimStatusMenu::setKeyEquivalent(MenuItemRole item, std::uint32_t, const std::string& character,
                                     std::uint64_t modifierMask) {
    SimMenuItem& i = items_[item];
    i.keyEquivalent = character;
    i.modifierMask = modifierMask;
    ++i.keyEquivalentSets;
    ++keyEquivalentSets_;
}

void SimStatusMenu::setTrackingHandlers(TrackingHandler didBegin, TrackingHandler didEnd) {
    didBegin_ = std::move(didBegin);
    didEnd_ = std::move(didEnd);
}

SimMenuItem SimStatusMenu::item(MenuItemRole role) const {
    const auto it = items_.find(role);
    return it == items_.end() ? SimMenuItem{} : it->second;
}

bool SimStatusMenu::open() {
    if (!didBegin_) {
        return false;
    }
    didBegin_();
    return true;
}

bool SimStatusMenu::close() {
    if (!didEnd_) {
        return false;
    }
    didEnd_();
    return true;
}

void SimStatusMenu::choose(MenuItemRole role) {
    open();
    close();
    // A menu sends its action after tracking has ended.
    if (action_ && item(role).enabled) {
        action_(role);
    }
}

SimStatusItem::SimStatusItem(double length, std::vector<SimStatusItem*>& live) : length_(length), live_(live) {
    live_.push_back(this);
}

SimStatusItem::~SimStatusItem() { live_.erase(std::remove(live_.begin(), live_.end(), this), live_.end()); }

std::unique_ptr<StatusItem> SimStatusBar::statusItemWithLength(double length) {
    return std::make_unique<SimStatusItem>(length, live_);
}

} // namespace dimwell
