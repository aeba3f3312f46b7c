#include "common/NotificationCenter.h"

#include <algorithm>

namespace dimwell {

NotificationCenter::Token NotificationCenter::addObserver(const std::string& name, Handler handler) {
    const Token token = next_++;
    entries_.push_back({token, name, std::move(handler)});
    return token;
}

void NotificationCenter::removeObserver(Token token) {
    std::erase_if(entries_, [token](const Entry& e) { return e.token == token; });
}

void NotificationCenter::post(const std::string& name) {
    // Observers may add or remove observers while handling: deliver to a snapshot
    // of the tokens and skip those removed meanwhile.
    std::vector<Token> tokens;
    for (const Entry& e : entries_) {
        if (e.name == name) {
            tokens.push_back(e.token);
        }
    }
    for (const Token t : tokens) {
        const auto it = std::find_if(entries_.begin(), entries_.end(), [t](const Entry& e) { return e.token == t; });
        if (it != entries_.end()) {
            Handler handler = it->handler;
            handler();
        }
    }
}

ObserverRegistration& ObserverRegistration::operator=(ObserverRegistration&& o) noexcept {
    if (this != &o) {
        reset();
        center_ = o.center_;
        token_ = o.token_;
        o.center_ = nullptr;
    }
    return *this;
}

void ObserverRegistration::reset() {
    if (center_) {
        center_->removeObserver(token_);
        center_ = nullptr;
    }
}

} // namespace dimwell
