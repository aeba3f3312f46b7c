#include "platform/linux/settings/QtSettingsWindows.h"

#include "platform/linux/settings/SettingsDialog.h"

#include <QTimer>

namespace dimwell::x11 {

QtSettingsWindows::QtSettingsWindows(const SettingsContext& context, KeyboardLayout& layout,
                                     WindowActivation activate)
    : context_(context), layout_(layout), activate_(std::move(activate)) {}

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
    dialog_ = std::make_unique<SettingsDialog>(context_.log, layout_);
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
    if (activate_) {
        activate_(*dialog_);
    }
}

void QtSettingsWindows::resetFirstResponder() {
    if (controller_) {
        controller_->resetFirstResponder();
    }
}

} // namespace dimwell::x11
