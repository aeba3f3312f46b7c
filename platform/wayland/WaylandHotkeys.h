#pragma once
// Shortcuts on Wayland: a client cannot take keys from the compositor, so none
// are registered; the compositor's own key bindings run `Dimwell --action NAME`,
// which the running Dimwell performs. Told once, at start.

#include "common/Log.h"
#include "platform/ports/Hotkeys.h"

#include <string>

namespace dimwell::wayland {

class WaylandHotkeyService final : public HotkeyService {
public:
    /// The advice to bind keys in the compositor, one sentence.
    static std::string advice();

    explicit WaylandHotkeyService(LogSink& log);

    /// Accepted and kept by nobody: the compositor's binding does the work, and a
    /// refusal would tell the user a program holds the keys.
    std::optional<HotKeyHandle> registerHotKey(std::uint32_t, std::uint32_t, HotKeyId, const std::string&) override {
        return ++handles_;
    }
    void unregisterHotKey(HotKeyHandle) override {}
    void installHandler(Handler) override {}

private:
    HotKeyHandle handles_ = 0;
};

} // namespace dimwell::wayland
