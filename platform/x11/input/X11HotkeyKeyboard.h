#pragma once
// The keyboard as global key grabs see it: which keys carry a keysym, which
// modifier bits are locks, and passive grabs of keys on the root window.

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

typedef struct _XCBKeySymbols xcb_key_symbols_t;

namespace dimwell::x11 {

/// One passive grab: a key with exact modifier bits.
struct KeyGrab {
    xcb_keycode_t keycode = 0;
    std::uint16_t modifiers = 0;
    friend bool operator==(const KeyGrab&, const KeyGrab&) = default;
};

struct GrabResult {
    std::vector<KeyGrab> grabbed;
    std::vector<KeyGrab> refused;   ///< held by another program (BadAccess)
};

class KeyboardMap {
public:
    explicit KeyboardMap(xcb_connection_t* connection);
    ~KeyboardMap();
    KeyboardMap(const KeyboardMap&) = delete;
    KeyboardMap& operator=(const KeyboardMap&) = delete;

    /// Forgets the cached mapping after the keyboard changed.
    void refresh();

    /// Every key that produces `keysym` in any column; one keysym may sit on several keys.
    std::vector<xcb_keycode_t> keycodesFor(std::uint32_t keysym);
    /// What `keycode` produces without modifiers.
    std::uint32_t keysymFor(xcb_keycode_t keycode);

    /// The modifier bit NumLock is mapped to right now; 0 when it is not mapped.
    std::uint16_t numLockMask();
    /// Every combination of the lock bits (CapsLock, NumLock): a grab must be made
    /// once for each, since X compares modifiers exactly.
    std::vector<std::uint16_t> lockCombinations();
    /// The shortcut part of an event's state: locks, buttons and the keyboard group dropped.
    std::uint16_t shortcutModifiers(std::uint16_t state);

private:
    xcb_connection_t* connection_;
    xcb_key_symbols_t* symbols_ = nullptr;
    std::optional<std::uint16_t> numLockMask_;
};

/// Every key of `keycodes` with each of `modifierSets`.
std::vector<KeyGrab> keyGrabs(const std::vector<xcb_keycode_t>& keycodes, const std::vector<std::uint16_t>& modifierSets);

/// Makes each grab on `root` as a checked request. A grab another program holds
/// (BadAccess) is an answer, reported in `refused`, not a failure.
GrabResult grabKeys(xcb_connection_t* connection, xcb_window_t root, const std::vector<KeyGrab>& grabs,
                    std::uint8_t keyboardMode);
void ungrabKeys(xcb_connection_t* connection, xcb_window_t root, const std::vector<KeyGrab>& grabs);

/// Recognises the events that say the keyboard's keys or modifiers changed: the
/// core MappingNotify and, since a client that uses XKB (the toolkit does, on this
/// connection) gets no core notice for a new layout, the XKB new-keyboard and
/// map notices.
class MappingChangeFilter {
public:
    explicit MappingChangeFilter(xcb_connection_t* connection);
    bool isMappingChange(const xcb_generic_event_t* event) const;

private:
    std::optional<std::uint8_t> xkbFirstEvent_;
};

} // namespace dimwell::x11
