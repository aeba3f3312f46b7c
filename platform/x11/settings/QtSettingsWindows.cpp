#include "platform/x11/settings/QtSettingsWindows.h"

#include "platform/x11/settings/SettingsDialog.h"
#include "platform/x11/windows/WindowStack.h"

#include <QGuiApplication>
#include <QTimer>

namespace dimwell::x11 {

QtSettingsWindows::QtSettingsWindows(const SettingsContext& context) : context_(context) {}

QtSettingsWindows::~QtSettingsWindows() {
    if (dialog_) {
        dialog_->setController(nullptr);
    }
    controller_.reset();
    dialog_.reset();
}

bool QtSettingsWindows::open(SettingsControllerDelegate& delegate) {
    if (controller_) {
        return true;
    }
    dialog_ = std::make_unique<SettingsDialog>(context_.log);
    controller_ = std::make_unique<SettingsWindowController>(*dialog_, context_);
    controller_->setMydelegate(&delegate);
    dialog_->setController(controller_.get());
    dialog_->setOnClosed([this] {
        // The window is still inside its close event: it goes once that returns.
        // Until then it is already closed for the program, which may open a new one.
        dialog_->setController(nullptr);
        auto closing = std::make_shared<Closing>(std::move(dialog_), std::move(controller_));
        QTimer::singleShot(0, this, [closing] {});
    });
    return true;
}

void QtSettingsWindows::bringToFront() {
    if (!dialog_) {
        return;
    }
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (std::shared_ptr<WindowStack> stack = WindowStack::fromQt()) {
            stack->activate(static_cast<xcb_window_t>(dialog_->winId()));
        }
    }
}

void QtSettingsWindows::resetFirstResponder() {
    if (controller_) {
        controller_->resetFirstResponder();
    }
}

} // namespace dimwell::x11
