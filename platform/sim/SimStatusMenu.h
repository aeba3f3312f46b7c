#pragma once
// The status area and the menu as a test sees them: each item's state, and the
// user opening the menu and choosing items.

#include "platform/ports/StatusMenu.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace dimwell {

struct SimMenuItem {
    bool enabled = true;   // as the menu is loaded
    std::string title;
    std::string keyEquivalent;
    std::uint64_t modifierMask = 0;
    int keyEquivalentSets = 0;
};

class SimStatusMenu : public StatusMenu {
public:
    void setEnabled(MenuItemRole item, bool enabled) override { items_[item].enabled = enabled; }
    void setTitle(MenuItemRole item, const std::string& title) override { items_[item].title = title; }
    void setKeyEquivalent(MenuItemRole item, std::uint32_t keyCode, const std::string& character,
                          std::uint64_t modifierMask) override;
    void setActionHandler(ActionHandler handler) override { action_ = std::move(handler); }
    void setTrackingHandlers(TrackingHandler didBegin, TrackingHandler didEnd) override;

    SimMenuItem item(MenuItemRole role) const;
    /// Key-equivalent changes to any item, in order.
    int keyEquivalentSets() const { return keyEquivalentSets_; }
    bool hasTrackingHandlers() const { return static_cast<bool>(didBegin_) && static_cast<bool>(didEnd_); }
    bool hasActionHandler() const { return static_cast<bool>(action_); }

    /// The user opens the menu; false when nobody listens.
    bool open();
    bool close();
    /// The user opens the menu, chooses `role` and the menu closes, as a real menu does.
    void choose(MenuItemRole role);

private:
    std::map<MenuItemRole, SimMenuItem> items_;
    ActionHandler action_;
    TrackingHandler didBegin_;
    TrackingHandler didEnd_;
    int keyEquivalentSets_ = 0;
};

class SimStatusItem : public StatusItem {
public:
    SimStatusItem(double length, std::vector<SimStatusItem*>& live);
    ~SimStatusItem() override;
    SimStatusItem(const SimStatusItem&) = delete;
    SimStatusItem& operator=(const SimStatusItem&) = delete;

    void setMenu(StatusMenu& menu) override { menu_ = &menu; }
    void setImage(const std::string& path) override { image_ = path; }
    void setAlternateImage(const std::string& path) override { alternateImage_ = path; }
    void setHighlightMode(bool on) override { highlightMode_ = on; }
    void showMessage(const std::string& title, const std::string& text) override {
        messages_.push_back({title, text});
    }

    double length() const { return length_; }
    const StatusMenu* menu() const { return menu_; }
    const std::string& image() const { return image_; }
    const std::string& alternateImage() const { return alternateImage_; }
    bool highlightMode() const { return highlightMode_; }
    /// Messages shown from the item, title and text, in order.
    const std::vector<std::pair<std::string, std::string>>& messages() const { return messages_; }

private:
    double length_;
    std::vector<SimStatusItem*>& live_;
    const StatusMenu* menu_ = nullptr;
    std::string image_;
    std::string alternateImage_;
    bool highlightMode_ = false;
    std::vector<std::pair<std::string, std::string>> messages_;
};

class SimStatusBar : public StatusBar {
public:
    std::unique_ptr<StatusItem> statusItemWithLength(double length) override;
    /// Items in the status area now.
    const std::vector<SimStatusItem*>& items() const { return live_; }

private:
    std::vector<SimStatusItem*> live_;
};

} // namespace dimwell
