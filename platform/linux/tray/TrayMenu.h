#pragma once
// The status menu as a QMenu. Shortcuts are shown as text beside each title and
// never become Qt shortcuts: the global hotkeys own those key combinations. Their
// keys are named as the active keyboard layout names them.

#include "platform/linux/keyboard/KeyboardLayout.h"
#include "platform/ports/StatusMenu.h"

#include <QObject>

#include <map>
#include <memory>
#include <string>

class QAction;
class QMenu;

namespace dimwell::x11 {

/// "Ctrl+Alt+Shift+Super+Z": the mask's modifiers (Command is Super on Linux) and the key.
std::string shortcutLabel(const std::string& character, std::uint64_t modifierMask);

class TrayMenu : public QObject, public StatusMenu {
public:
    /// Keys are named as `layout` names them, and renamed when it changes.
    explicit TrayMenu(KeyboardLayout& layout);
    ~TrayMenu() override;
    TrayMenu(const TrayMenu&) = delete;
    TrayMenu& operator=(const TrayMenu&) = delete;

    void setEnabled(MenuItemRole item, bool enabled) override;
    void setTitle(MenuItemRole item, const std::string& title) override;
    void setKeyEquivalent(MenuItemRole item, std::uint32_t keyCode, const std::string& character,
                          std::uint64_t modifierMask) override;
    void setActionHandler(ActionHandler handler) override { action_ = std::move(handler); }
    void setTrackingHandlers(TrackingHandler didBegin, TrackingHandler didEnd) override;

    QMenu* menu() const { return menu_.get(); }
    QAction* action(MenuItemRole item) const;

private:
    struct Item {
        QAction* action = nullptr;   // owned by the menu
        std::string title;
        std::uint32_t keyCode = 0;
        std::string character;   ///< the stored key text
        std::uint64_t modifierMask = 0;
    };
    void addItem(MenuItemRole role, const char* title);
    void refreshText(MenuItemRole role);

    KeyboardLayout& layout_;
    std::unique_ptr<QMenu> menu_;
    std::map<MenuItemRole, Item> items_;
    KeyboardLayout::Subscription layoutWatch_;
    ActionHandler action_;
    TrackingHandler didBegin_;
    TrackingHandler didEnd_;
};

} // namespace dimwell::x11
