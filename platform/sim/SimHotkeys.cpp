#include "platform/sim/SimHotkeys.h"

namespace dimwell {

std::optional<HotKeyHandle> SimHotkeys::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, HotKeyId id,
                                                      const std::string&) {
    attempts_.push_back({keyCode, modifiers, id});
    if (refused_.count({keyCode, modifiers}) != 0) {
        return std::nullopt;
    }
    const HotKeyHandle h = next_++;
    live_[h] = {keyCode, modifiers, id};
    return h;
}

void SimHotkeys::unregisterHotKey(HotKeyHandle handle) {
    if (live_.erase(handle) == 0) {
        ++staleUnregisters_;
    }
}

void SimHotkeys::installHandler(Handler handler) {
    handler_ = std::move(handler);
    ++handlersInstalled_;
}

std::vector<SimRegistration> SimHotkeys::registered() const {
    std::vector<SimRegistration> out;
    for (const auto& [handle, reg] : live_) {
        out.push_back(reg);
    }
    return out;
}

std::optional<SimRegistration> SimHotkeys::registrationFor(std::uint32_t id) const {
    std::optional<SimRegistration> found;
    for (const auto& [handle, reg] : live_) {
        if (reg.id.id == id) {
            if (found) {
                return std::nullopt;
            }
            found = reg;
        }
    }
    return found;
}

bool SimHotkeys::press(std::uint32_t id) {
    for (const auto& [handle, reg] : live_) {
        if (reg.id.id == id) {
            deliver(reg.id);
            return true;
        }
    }
    return false;
}

void SimHotkeys::deliver(HotKeyId id) {
    if (handler_) {
        const Handler h = handler_;
        h(id);
    }
}

} // namespace dimwell
