#pragma once
// The one modal alert, as a Qt message box: the same on every desktop.

#include "platform/ports/Session.h"

#include <string>

namespace dimwell::x11 {

/// A modal critical message box.
class QtAlerts : public AlertPresenter {
public:
    bool runCriticalAlert(const std::string& title, const std::string& message, const std::string& defaultButton,
                          const std::string& alternateButton) override;
};

} // namespace dimwell::x11
