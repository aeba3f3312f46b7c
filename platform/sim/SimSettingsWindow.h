#pragma once
// A settings window that only remembers what was asked of it, and can be closed
// by the user.

#include "platform/ports/SettingsWindowOpener.h"

namespace dimwell {

class SimSettingsWindows : public SettingsWindowOpener {
public:
    bool open(SettingsControllerDelegate& delegate) override;
    bool isOpen() const override { return delegate_ != nullptr; }
    void bringToFront() override { ++broughtToFront_; }
    void resetFirstResponder() override { ++firstResponderResets_; }

    /// The user closes the window; it tells its delegate, as the real one does.
    void closeByUser();
    void setBuildable(bool buildable) { buildable_ = buildable; }

    int opened() const { return opened_; }
    int broughtToFront() const { return broughtToFront_; }
    int firstResponderResets() const { return firstResponderResets_; }
    SettingsControllerDelegate* delegate() const { return delegate_; }

private:
    SettingsControllerDelegate* delegate_ = nullptr;
    bool buildable_ = true;
    int opened_ = 0;
    int broughtToFront_ = 0;
    int firstResponderResets_ = 0;
};

} // namespace dimwell
