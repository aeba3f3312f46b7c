#pragma once
// The program's face in the desktop's status area: one status item with its
// pictures, and the menu it opens.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace dimwell {

/// The menu's items, named for what they do.
enum class MenuItemRole {
    StartSelection,
    CloseOverlay,
    IncreaseOpacity,
    DecreaseOpacity,
    Settings,
    Help,
    Start,
    Stop,
    Quit,
};

/// Key-equivalent modifier bits, as the hotkey records encode them.
enum MenuModifier : std::uint64_t {
    menuShiftKey = 0x20000,
    menuControlKey = 0x40000,
    menuOptionKey = 0x80000,
    menuCommandKey = 0x100000,
};

class StatusMenu {
public:
    using ActionHandler = std::function<void(MenuItemRole)>;
    using TrackingHandler = std::function<void()>;

    virtual ~StatusMenu() = default;
    virtual void setEnabled(MenuItemRole item, bool enabled) = 0;
    virtual void setTitle(MenuItemRole item, const std::string& title) = 0;
    /// The shortcut shown beside the item: the stored key code and text, and a
    /// modifier mask (MenuModifier bits); an empty text shows none. A platform
    /// may name the key as the user's keyboard layout names it.
    virtual void setKeyEquivalent(MenuItemRole item, std::uint32_t keyCode, const std::string& character,
                                  std::uint64_t modifierMask) = 0;
    /// Called when the user chooses an item.
    virtual void setActionHandler(ActionHandler handler) = 0;
    /// Called when the menu opens and when it closes again.
    virtual void setTrackingHandlers(TrackingHandler didBegin, TrackingHandler didEnd) = 0;
};

class StatusItem {
public:
    virtual ~StatusItem() = default;
    virtual void setMenu(StatusMenu& menu) = 0;
    /// A picture file; an empty path leaves the item without that picture.
    virtual void setImage(const std::string& path) = 0;
    /// The picture shown while the item is highlighted.
    virtual void setAlternateImage(const std::string& path) = 0;
    virtual void setHighlightMode(bool on) = 0;
    /// A passing message from the item, where the status area shows such messages.
    virtual void showMessage(const std::string& title, const std::string& text) = 0;
};

class StatusBar {
public:
    /// Length of an item as wide as its content.
    static constexpr double variableLength = -1.0;

    virtual ~StatusBar() = default;
    /// A new item in the status area; it leaves the area when released.
    virtual std::unique_ptr<StatusItem> statusItemWithLength(double length) = 0;
};

} // namespace dimwell
