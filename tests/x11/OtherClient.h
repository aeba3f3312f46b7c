#pragma once
// Another program on the same X server: its own connection, windows that count
// what reaches them, its own grabs, and input injected through XTest (as xdotool
// does). What this client receives is what "other programs" receive.

#include <xcb/xcb.h>

#include <cstdint>
#include <map>
#include <vector>

namespace dimwell::x11::test {

namespace keysym {
inline constexpr std::uint32_t control = 0xffe3;
inline constexpr std::uint32_t shift = 0xffe1;
inline constexpr std::uint32_t alt = 0xffe9;
inline constexpr std::uint32_t super = 0xffeb;
inline constexpr std::uint32_t escape = 0xff1b;
inline constexpr std::uint32_t numLock = 0xff7f;
inline constexpr std::uint32_t capsLock = 0xffe5;
inline constexpr std::uint32_t f12 = 0xffc9;
} // namespace keysym

class OtherClient {
public:
    OtherClient();
    ~OtherClient();   // restores every key it remapped
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    xcb_connection_t* connection() const { return c_; }
    xcb_window_t root() const { return root_; }

    /// An unmanaged window at root position (x, y), mapped and viewable on return.
    xcb_window_t openWindow(int x, int y, int width, int height);
    void focus(xcb_window_t window);

    /// Reads what has arrived so far.
    void poll();
    int buttonPresses(xcb_window_t w) const { return count(buttonPresses_, w); }
    int buttonReleases(xcb_window_t w) const { return count(buttonReleases_, w); }
    /// What makes hover effects and tooltips: the pointer moving over or entering `w`.
    int motions(xcb_window_t w) const { return count(motions_, w); }
    int enters(xcb_window_t w) const { return count(enters_, w); }
    /// Key presses of `keycode` that reached `w`.
    int keyPresses(xcb_window_t w, xcb_keycode_t keycode) const { return count(keyPresses_, {w, keycode}); }

    xcb_keycode_t keycode(std::uint32_t keysym);
    /// A key that produces nothing on the current keyboard.
    xcb_keycode_t spareKeycode();
    void key(xcb_keycode_t keycode, bool down);
    /// Holds the modifier keys, presses and releases `keycode`, lets the modifiers go.
    void chord(const std::vector<std::uint32_t>& modifierKeysyms, xcb_keycode_t keycode);
    void tap(std::uint32_t keysym) { chord({}, keycode(keysym)); }
    void button(std::uint8_t button, bool down);
    void moveTo(int x, int y);
    std::pair<int, int> pointer();

    /// A checked passive grab on the root; false when another client holds it.
    bool grabKey(xcb_keycode_t keycode, std::uint16_t modifiers);
    void ungrabKey(xcb_keycode_t keycode, std::uint16_t modifiers);
    bool grabButton1();
    void ungrabButton1();
    /// An active grab of the whole pointer; false when another client holds one.
    bool grabPointer();
    void ungrabPointer();

    /// Gives `keycode` these keysyms (none: the key produces nothing).
    void remap(xcb_keycode_t keycode, const std::vector<std::uint32_t>& keysyms);

    /// Waits until the server has handled everything sent so far.
    void sync();

private:
    template <class K>
    static int count(const std::map<K, int>& m, const K& k) {
        const auto it = m.find(k);
        return it == m.end() ? 0 : it->second;
    }
    void fake(std::uint8_t type, std::uint8_t detail, xcb_window_t root = XCB_NONE, int x = 0, int y = 0);
    std::vector<std::uint32_t> keysymsOf(xcb_keycode_t keycode, std::uint8_t& perKeycode);

    xcb_connection_t* c_;
    xcb_window_t root_;
    std::vector<xcb_window_t> windows_;
    std::map<xcb_window_t, int> buttonPresses_;
    std::map<xcb_window_t, int> buttonReleases_;
    std::map<xcb_window_t, int> motions_;
    std::map<xcb_window_t, int> enters_;
    std::map<std::pair<xcb_window_t, xcb_keycode_t>, int> keyPresses_;
    std::map<xcb_keycode_t, std::pair<std::uint8_t, std::vector<std::uint32_t>>> remapped_;   ///< originals
};

} // namespace dimwell::x11::test
