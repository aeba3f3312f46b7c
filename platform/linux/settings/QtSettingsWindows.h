#pragma once
// Opens the one settings window on demand and releases it when the user closes
// it: the real window behind the status menu's Settings item.

#include "platform/ports/SettingsWindowOpener.h"
#include "settings/SettingsWindowController.h"

#include <QObject>

#include <functional>
#include <memory>

class QWidget;

namespace dimwell::x11 {

class KeyboardLayout;
class SettingsDialog;

/// Asks the desktop to raise and focus one of the program's windows, where
/// showing and activating it is not enough (a window manager that keeps a
/// background program from taking the focus by itself).
using WindowActivation = std::function<void(QWidget& window)>;

class QtSettingsWindows : public QObject, public SettingsWindowOpener {
public:
    /// Keys are named as `layout` names them; `activate` may be empty.
    QtSettingsWindows(const SettingsContext& context, KeyboardLayout& layout, WindowActivation activate);
    ~QtSettingsWindows() override;
    QtSettingsWindows(const QtSettingsWindows&) = delete;
    QtSettingsWindows& operator=(const QtSettingsWindows&) = delete;

    bool open(SettingsControllerDelegate& delegate) override;
    bool isOpen() const override { return controller_ != nullptr; }
    /// Raised, activated and focused, through `activate` as well.
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
    KeyboardLayout& layout_;
    WindowActivation activate_;
    std::unique_ptr<SettingsDialog> dialog_;
    std::unique_ptr<SettingsWindowController> controller_;
};

} // namespace dimwell::x11
