#include "platform/sim/SimSession.h"

#include <algorithm>

namespace dimwell {

bool SimAlerts::runCriticalAlert(const std::string& title, const std::string& message,
                                 const std::string& defaultButton, const std::string& alternateButton) {
    shown_.push_back({title, message, defaultButton, alternateButton});
    ++open_;
    maxOpen_ = std::max(maxOpen_, open_);
    if (whileShown_) {
        // One delivery only: a hook that re-enters must not recurse forever.
        const auto hook = std::move(whileShown_);
        whileShown_ = nullptr;
        hook();
    }
    --open_;
    return answerDefault_;
}

} // namespace dimwell
