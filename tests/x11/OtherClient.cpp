#include "OtherClient.h"

#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <thread>

namespace dimwell::x11::test {

namespace {
template <class T>
using Owned = std::unique_ptr<T, decltype(&std::free)>;

template <class T>
Owned<T> owned(T* p) {
    return Owned<T>(p, &std::free);
}
} // namespace

OtherClient::OtherClient() {
    int screen = 0;
    c_ = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(c_)) {
        xcb_disconnect(c_);
        throw std::runtime_error("no X server at $DISPLAY");
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c_));
    for (; screen > 0 && it.rem > 1; --screen) {
        xcb_screen_next(&it);
    }
    root_ = it.data->root;
}

OtherClient::~OtherClient() {
    for (const auto& [keycode, original] : remapped_) {
        xcb_change_keyboard_mapping(c_, 1, keycode, original.first, original.second.data());
    }
    for (const xcb_window_t w : windows_) {
        xcb_destroy_window(c_, w);
    }
    sync();
    xcb_disconnect(c_);
}

xcb_window_t OtherClient::openWindow(int x, int y, int width, int height) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
    const xcb_window_t w = xcb_generate_id(c_);
    const std::uint32_t values[] = {screen->white_pixel, 1,
                                    XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                        XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                        XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_ENTER_WINDOW};
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, root_, static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_map_window(c_, w);
    windows_.push_back(w);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    for (;;) {
        sync();
        const auto attributes =
            owned(xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, w), nullptr));
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
            return w;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error("test window never became viewable");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void OtherClient::focus(xcb_window_t window) {
    xcb_set_input_focus(c_, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    sync();
}

void OtherClient::poll() {
    while (xcb_generic_event_t* raw = xcb_poll_for_event(c_)) {
        const auto event = owned(raw);
        // Button, key, motion and crossing events share their layout up to the event window.
        const auto* e = reinterpret_cast<const xcb_key_press_event_t*>(raw);
        switch (event->response_type & 0x7f) {
        case XCB_BUTTON_PRESS: ++buttonPresses_[e->event]; break;
        case XCB_BUTTON_RELEASE: ++buttonReleases_[e->event]; break;
        case XCB_MOTION_NOTIFY: ++motions_[e->event]; break;
        case XCB_ENTER_NOTIFY: ++enters_[e->event]; break;
        case XCB_KEY_PRESS: ++keyPresses_[{e->event, e->detail}]; break;
        default: break;
        }
    }
}

xcb_keycode_t OtherClient::keycode(std::uint32_t keysym) {
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c_);
    const auto codes = owned(xcb_key_symbols_get_keycode(symbols, keysym));
    xcb_key_symbols_free(symbols);
    if (!codes || codes.get()[0] == XCB_NO_SYMBOL) {
        throw std::runtime_error("no key produces the keysym");
    }
    return codes.get()[0];
}

xcb_keycode_t OtherClient::spareKeycode() {
    const xcb_setup_t* setup = xcb_get_setup(c_);
    for (int k = setup->max_keycode; k > setup->min_keycode; --k) {
        std::uint8_t per = 0;
        const std::vector<std::uint32_t> syms = keysymsOf(static_cast<xcb_keycode_t>(k), per);
        if (std::all_of(syms.begin(), syms.end(), [](std::uint32_t s) { return s == 0; })) {
            return static_cast<xcb_keycode_t>(k);
        }
    }
    throw std::runtime_error("every key produces something");
}

void OtherClient::key(xcb_keycode_t keycode, bool down) {
    fake(down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode);
}

void OtherClient::chord(const std::vector<std::uint32_t>& modifierKeysyms, xcb_keycode_t keycode) {
    std::vector<xcb_keycode_t> modifiers;
    for (const std::uint32_t k : modifierKeysyms) {
        modifiers.push_back(this->keycode(k));
        key(modifiers.back(), true);
    }
    key(keycode, true);
    key(keycode, false);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) {
        key(*it, false);
    }
}

void OtherClient::button(std::uint8_t button, bool down) {
    fake(down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, button);
}

void OtherClient::moveTo(int x, int y) { fake(XCB_MOTION_NOTIFY, 0, root_, x, y); }

// XTest stamps each event with the server time; real keys never share a
// millisecond, and an auto-repeat pair is recognised by exactly that.
void OtherClient::fake(std::uint8_t type, std::uint8_t detail, xcb_window_t root, int x, int y) {
    xcb_test_fake_input(c_, type, detail, XCB_CURRENT_TIME, root, static_cast<std::int16_t>(x),
                        static_cast<std::int16_t>(y), 0);
    sync();
    std::this_thread::sleep_for(std::chrono::milliseconds(4));
}

std::pair<int, int> OtherClient::pointer() {
    const auto reply = owned(xcb_query_pointer_reply(c_, xcb_query_pointer(c_, root_), nullptr));
    return reply ? std::pair<int, int>{reply->root_x, reply->root_y} : std::pair<int, int>{-1, -1};
}

bool OtherClient::grabKey(xcb_keycode_t keycode, std::uint16_t modifiers) {
    const auto error = owned(xcb_request_check(
        c_, xcb_grab_key_checked(c_, 1, root_, modifiers, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
    return !error;
}

void OtherClient::ungrabKey(xcb_keycode_t keycode, std::uint16_t modifiers) {
    xcb_ungrab_key(c_, keycode, root_, modifiers);
    sync();
}

bool OtherClient::grabButton1() {
    const auto error = owned(xcb_request_check(
        c_, xcb_grab_button_checked(c_, 0, root_, XCB_EVENT_MASK_BUTTON_PRESS, XCB_GRAB_MODE_ASYNC,
                                    XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_BUTTON_INDEX_1, XCB_MOD_MASK_ANY)));
    return !error;
}

void OtherClient::ungrabButton1() {
    xcb_ungrab_button(c_, XCB_BUTTON_INDEX_1, root_, XCB_MOD_MASK_ANY);
    sync();
}

bool OtherClient::grabPointer() {
    const auto reply = owned(xcb_grab_pointer_reply(
        c_,
        xcb_grab_pointer(c_, 0, root_, XCB_EVENT_MASK_BUTTON_PRESS, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                         XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
        nullptr));
    return reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
}

void OtherClient::ungrabPointer() {
    xcb_ungrab_pointer(c_, XCB_CURRENT_TIME);
    sync();
}

std::vector<std::uint32_t> OtherClient::keysymsOf(xcb_keycode_t keycode, std::uint8_t& perKeycode) {
    const auto reply =
        owned(xcb_get_keyboard_mapping_reply(c_, xcb_get_keyboard_mapping(c_, keycode, 1), nullptr));
    if (!reply) {
        perKeycode = 1;
        return {0};
    }
    perKeycode = reply->keysyms_per_keycode;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply.get());
    return std::vector<std::uint32_t>(syms, syms + perKeycode);
}

void OtherClient::remap(xcb_keycode_t keycode, const std::vector<std::uint32_t>& keysyms) {
    std::uint8_t per = 1;
    std::vector<std::uint32_t> original = keysymsOf(keycode, per);
    remapped_.try_emplace(keycode, per, std::move(original));
    std::vector<std::uint32_t> row(keysyms);
    row.resize(std::max<std::size_t>(per, keysyms.size()), 0);
    xcb_change_keyboard_mapping(c_, 1, keycode, static_cast<std::uint8_t>(row.size()), row.data());
    sync();
}

void OtherClient::sync() {
    const auto reply = owned(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    (void)reply;
}

} // namespace dimwell::x11::test
