#pragma once
// A hotkey service that answers registrations, can refuse a combination (another
// program holds it), and delivers presses to the installed handler.

#include "platform/ports/Hotkeys.h"

#include <map>
#include <set>
#include <utility>
#include <vector>

namespace dimwell {

struct SimRegistration {
    std::uint32_t keyCode = 0;
    std::uint32_t modifiers = 0;
    HotKeyId id;
    friend bool operator==(const SimRegistration&, const SimRegistration&) = default;
};

class SimHotkeys : public HotkeyService {
public:
    std::optional<HotKeyHandle> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, HotKeyId id,
                                               const std::string& character) override;
    void unregisterHotKey(HotKeyHandle handle) override;
    void installHandler(Handler handler) override;

    /// Another program holds this combination: registering it is refused.
    void refuse(std::uint32_t keyCode, std::uint32_t modifiers) { refused_.insert({keyCode, modifiers}); }

    /// Registrations alive now, in the order they were made.
    std::vector<SimRegistration> registered() const;
    /// The live registration of hotkey id `id`, if exactly one exists.
    std::optional<SimRegistration> registrationFor(std::uint32_t id) const;
    /// Every registration call, refused ones included, in order.
    const std::vector<SimRegistration>& attempts() const { return attempts_; }
    /// Unregistrations of handles that were not alive (double or bogus releases).
    int staleUnregisters() const { return staleUnregisters_; }
    int handlersInstalled() const { return handlersInstalled_; }

    /// The user presses the combination registered for hotkey id `id`; false when
    /// nothing is registered for it, so nothing reaches the program.
    bool press(std::uint32_t id);
    /// Delivers an event as the platform would, whatever is registered.
    void deliver(HotKeyId id);

private:
    std::map<HotKeyHandle, SimRegistration> live_;
    std::set<std::pair<std::uint32_t, std::uint32_t>> refused_;
    std::vector<SimRegistration> attempts_;
    Handler handler_;
    HotKeyHandle next_ = 1;
    int staleUnregisters_ = 0;
    int handlersInstalled_ = 0;
};

} // namespace dimwell
