#include "platform/sim/SimSettingsWindow.h"

#include "settings/SettingsControllerDelegate.h"

namespace dimwell {

bool SimSettingsWindows::open(SettingsControllerDelegate& delegate) {
    if (!buildable_) {
        return false;
    }
    ++opened_;
    delegate_ = &delegate;
    return true;
}

void SimSettingsWindows::closeByUser() {
    if (SettingsControllerDelegate* d = delegate_) {
        delegate_ = nullptr;
        d->nilOutSettingsController();
    }
}

} // namespace dimwell
