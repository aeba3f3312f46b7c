#pragma once
// Opens the one settings window on demand and releases it when the user closes
// it: the real window behind the status menu's Settings item.

#include "platform/ports/SettingsWindowOpener.h"
#include "settings/SettingsWindowController.h"

#include <QObject>

#include <memory>

namespace dimwell::x11 {

class SettingsDialog;

class QtSettingsWindows : public QObject, public SettingsWindowOpener {
public:
    explicit QtSettingsWindows(const SettingsContext& context);
    ~QtSettingsWindows() override;
    QtSettingsWindows(const QtSettingsWindows&) = delete;
    QtSettingsWindows& operator=(const QtSettingsWindows&) = delete;

    bool open(SettingsControllerDelegate& delegate) override;
    bool isOpen() const override { return controller_ != nullptr; }
    /// Raised, activated and focused; through the window manager, since a program
    /// in the background may not take the focus by itself.
    void bringToFront() override;
    void resetFirstResponder() override;

    SettingsDialog* dialog() const { return dialog_.get(); }
    SettingsWindowController* controller() const { return controller_.get(); }

private:
    /// A closed window and its controller, released together (the controller first).
    struct Closing {
        std::unique_ptr<SettingsDialog> dialog;
        std::unique_ptr<SettingsWindowController> controller;
    };

    SettingsContext context_;
    std::unique_ptr<SettingsDialog> dialog_;
    std::unique_ptr<SettingsWindowController> controller_;
};

} // namespace dimwell::x11
