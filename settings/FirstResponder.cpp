#include "settings/FirstResponder.h"

#include "settings/NSMyTextField.h"

namespace dimwell {

bool FirstResponder::make(NSMyTextField* responder) {
    if (responder == current_) {
        return false;
    }
    if (responder && !responder->acceptsFirstResponder()) {
        return false;
    }
    if (NSMyTextField* old = current_) {
        current_ = nullptr;
        old->resignFirstResponder();
    }
    current_ = responder;
    if (responder) {
        responder->becomeFirstResponder();
    }
    return true;
}

void FirstResponder::lost() {
    if (NSMyTextField* old = current_) {
        current_ = nullptr;
        old->resignFirstResponder();
    }
}

} // namespace dimwell
