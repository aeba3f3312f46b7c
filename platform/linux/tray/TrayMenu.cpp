#include "platform/linux/tray/TrayMenu.h"

#include <QAction>
#include <QMenu>

namespace dimwell::x11 {

std::string shortcutLabel(const std::string& character, std::uint64_t modifierMask) {
    if (character.empty()) {
        return {};
    }
    std::string label;
    if (modifierMask & menuControlKey) label += "Ctrl+";
    if (modifierMask & menuOptionKey) label += "Alt+";
    if (modifierMask & menuShiftKey) label += "Shift+";
    if (modifierMask & menuCommandKey) label += "Super+";
    return label + character;
}

TrayMenu::TrayMenu(KeyboardLayout& layout) : layout_(layout), menu_(std::make_unique<QMenu>()) {
    layoutWatch_ = layout_.subscribe([this] {
        for (const auto& [role, item] : items_) {
            refreshText(role);
        }
    });
    menu_->setTitle(QStringLiteral("Dimwell"));
    addItem(MenuItemRole::StartSelection, "Start selection");
    addItem(MenuItemRole::CloseOverlay, "Close overlay");
    addItem(MenuItemRole::IncreaseOpacity, "Increase opacity");
    addItem(MenuItemRole::DecreaseOpacity, "Decrease opacity");
    menu_->addSeparator();
    addItem(MenuItemRole::Settings, "Settings\u2026");
    addItem(MenuItemRole::Help, "Help");
    addItem(MenuItemRole::Start, "Start");
    addItem(MenuItemRole::Stop, "Stop");
    menu_->addSeparator();
    addItem(MenuItemRole::Quit, "Quit Dimwell");

    connect(menu_.get(), &QMenu::aboutToShow, this, [this] {
        if (didBegin_) didBegin_();
    });
    connect(menu_.get(), &QMenu::aboutToHide, this, [this] {
        if (didEnd_) didEnd_();
    });
}

TrayMenu::~TrayMenu() = default;

void TrayMenu::addItem(MenuItemRole role, const char* title) {
    Item item;
    item.title = title;
    item.action = menu_->addAction(QString::fromUtf8(title));
    connect(item.action, &QAction::triggered, this, [this, role] {
        if (action_) action_(role);
    });
    items_[role] = std::move(item);
}

QAction* TrayMenu::action(MenuItemRole item) const {
    const auto it = items_.find(item);
    return it == items_.end() ? nullptr : it->second.action;
}

void TrayMenu::refreshText(MenuItemRole role) {
    Item& item = items_.at(role);
    // Titles are plain text: a "&" in a process name must not become a mnemonic.
    QString text = QString::fromStdString(item.title).replace(QLatin1Char('&'), QStringLiteral("&&"));
    // The part after a tab is drawn right-aligned in the shortcut column, as text
    // only: nothing is bound to it.
    const std::string key = item.character.empty() ? std::string() : layout_.label(item.keyCode, item.character);
    const std::string shortcut = shortcutLabel(key, item.modifierMask);
    if (!shortcut.empty()) {
        text += QLatin1Char('\t') + QString::fromStdString(shortcut).replace(QLatin1Char('&'), QStringLiteral("&&"));
    }
    item.action->setText(text);
}

void TrayMenu::setEnabled(MenuItemRole item, bool enabled) { items_.at(item).action->setEnabled(enabled); }

void TrayMenu::setTitle(MenuItemRole item, const std::string& title) {
    items_.at(item).title = title;
    refreshText(item);
}

void TrayMenu::setKeyEquivalent(MenuItemRole item, std::uint32_t keyCode, const std::string& character,
                                std::uint64_t modifierMask) {
    items_.at(item).keyCode = keyCode;
    items_.at(item).character = character;
    items_.at(item).modifierMask = modifierMask;
    refreshText(item);
}

void TrayMenu::setTrackingHandlers(TrackingHandler didBegin, TrackingHandler didEnd) {
    didBegin_ = std::move(didBegin);
    didEnd_ = std::move(didEnd);
}

} // namespace dimwell::x11
