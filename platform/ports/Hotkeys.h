#pragma once
// System-wide hotkeys: registered by virtual key code and modifier sum, reported
// by their identifier on the main thread.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace dimwell {

struct HotKeyId {
    std::uint32_t signature = 0;
    std::uint32_t id = 0;
    friend bool operator==(const HotKeyId&, const HotKeyId&) = default;
};

/// Modifier values of a registration.
enum HotKeyModifier : std::uint32_t { cmdKey = 256, shiftKey = 512, optionKey = 2048, controlKey = 4096 };

using HotKeyHandle = std::uint64_t;

class HotkeyService {
public:
    using Handler = std::function<void(HotKeyId)>;

    virtual ~HotkeyService() = default;
    /// Nothing when the platform refuses (another program holds the combination).
    /// `character` is the record's key text: a platform whose keyboard layouts
    /// move letters may let a letter shortcut follow its letter.
    virtual std::optional<HotKeyHandle> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, HotKeyId id,
                                                       const std::string& character) = 0;
    virtual void unregisterHotKey(HotKeyHandle handle) = 0;
    virtual void installHandler(Handler handler) = 0;
};

} // namespace dimwell
