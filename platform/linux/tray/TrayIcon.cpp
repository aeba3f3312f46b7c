#include "platform/linux/tray/TrayIcon.h"

#include "platform/linux/tray/TrayMenu.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

namespace dimwell::x11 {

namespace {

QIcon iconFrom(const std::string& path) {
    return path.empty() ? QIcon() : QIcon(QString::fromStdString(path));
}

} // namespace

TrayIcon::TrayIcon(LogSink& log, int recheckMs) : log_(log) {
    recheck_.setInterval(recheckMs);
    connect(&recheck_, &QTimer::timeout, this, [this] { showWhenTrayAvailable(); });
    // Shown from the event loop, once the caller has given the pictures and menu.
    QTimer::singleShot(0, this, [this] { showWhenTrayAvailable(); });
}

TrayIcon::~TrayIcon() {
    if (tray_) {
        tray_->hide();
    }
}

void TrayIcon::setMenu(StatusMenu& menu) {
    menu_ = dynamic_cast<TrayMenu*>(&menu);
    if (!menu_) {
        log_("the status menu cannot be shown in the tray");
        return;
    }
    // The highlighted picture stands while the menu is open.
    connect(menu_->menu(), &QMenu::aboutToShow, this, [this] {
        highlighted_ = true;
        applyIcon();
    });
    connect(menu_->menu(), &QMenu::aboutToHide, this, [this] {
        highlighted_ = false;
        applyIcon();
    });
    if (tray_) {
        tray_->setContextMenu(menu_->menu());
    }
}

void TrayIcon::setImage(const std::string& path) {
    image_ = iconFrom(path);
    applyIcon();
}

void TrayIcon::setAlternateImage(const std::string& path) {
    alternateImage_ = iconFrom(path);
    applyIcon();
}

bool TrayIcon::isShown() const { return tray_ && tray_->isVisible(); }

void TrayIcon::showMessage(const std::string& title, const std::string& text) {
    // Without a tray there is nowhere to show it; the caller's log line remains.
    if (isShown()) {
        tray_->showMessage(QString::fromStdString(title), QString::fromStdString(text), QSystemTrayIcon::Information);
    }
}

void TrayIcon::applyIcon() {
    if (!tray_) {
        return;
    }
    const bool alternate = highlightMode_ && highlighted_ && !alternateImage_.isNull();
    tray_->setIcon(alternate ? alternateImage_ : image_);
}

void TrayIcon::showWhenTrayAvailable() {
    if (tray_) {
        return;
    }
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        if (!recheck_.isActive()) {
            log_("no system tray: the menu is unavailable");
            recheck_.start();
        }
        return;
    }
    recheck_.stop();
    tray_ = std::make_unique<QSystemTrayIcon>();
    tray_->setToolTip(QStringLiteral("Dimwell"));
    if (menu_) {
        tray_->setContextMenu(menu_->menu());
    }
    // A status item opens its menu on the ordinary click too, not only the
    // context click the tray hosts reserve for menus. A click that Qt counts as
    // the second of a double click (quick clicks, or a press the left-button tap
    // handed on) opens it as well.
    connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        const bool click = reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick;
        if (menu_ && click && !menu_->menu()->isVisible()) {
            menu_->menu()->popup(QCursor::pos());
        }
    });
    applyIcon();
    tray_->show();
    log_("status icon in the system tray");
}

std::unique_ptr<StatusItem> TrayStatusBar::statusItemWithLength(double) {
    return std::make_unique<TrayIcon>(log_);
}

} // namespace dimwell::x11
