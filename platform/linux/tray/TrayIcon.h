#pragma once
// The status item as a tray icon (Qt's system tray: a StatusNotifierItem or an
// XEmbed icon, whichever the desktop's tray host speaks). Without a tray host
// Dimwell runs on, hotkeys and all; the icon appears when a host does.

#include "common/Log.h"
#include "platform/ports/StatusMenu.h"

#include <QIcon>
#include <QObject>
#include <QTimer>

#include <memory>

class QSystemTrayIcon;

namespace dimwell::x11 {

class TrayMenu;

class TrayIcon : public QObject, public StatusItem {
public:
    /// `recheckMs`: how often to look again for a tray host while there is none.
    explicit TrayIcon(LogSink& log, int recheckMs = 2000);
    ~TrayIcon() override;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    /// Takes a TrayMenu; any other menu cannot be shown in the tray.
    void setMenu(StatusMenu& menu) override;
    void setImage(const std::string& path) override;
    void setAlternateImage(const std::string& path) override;
    void setHighlightMode(bool on) override { highlightMode_ = on; }
    /// A balloon or desktop notification from the icon, when it is in a tray.
    void showMessage(const std::string& title, const std::string& text) override;

    /// The icon is in a tray now.
    bool isShown() const;

private:
    void showWhenTrayAvailable();
    void applyIcon();

    Logger log_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    TrayMenu* menu_ = nullptr;
    QIcon image_;
    QIcon alternateImage_;
    bool highlightMode_ = false;
    bool highlighted_ = false;
    QTimer recheck_;
};

class TrayStatusBar : public StatusBar {
public:
    explicit TrayStatusBar(LogSink& log) : log_(log) {}
    std::unique_ptr<StatusItem> statusItemWithLength(double length) override;

private:
    LogSink& log_;
};

} // namespace dimwell::x11
