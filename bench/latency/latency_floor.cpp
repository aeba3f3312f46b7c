// The fastest a veil can reach the screen on this X server: a bare xcb client
// that grabs Control+Shift+<show> and, on a press, maps one full-screen ARGB
// override-redirect window and fills it when it is exposed; Control+Shift+<hide>
// unmaps it. It prints "ready" once its grabs are in place.
//
//     latency_floor SHOW HIDE [ALPHA]     e.g. latency_floor n m 0.8
//
// SHOW and HIDE are single lower-case letters (their keysyms are their ASCII codes).

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

bool checked(xcb_connection_t* c, xcb_void_cookie_t cookie, const char* what) {
    Reply<xcb_generic_error_t> error(xcb_request_check(c, cookie));
    if (error) {
        std::fprintf(stderr, "latency_floor: %s failed (X error %d)\n", what, error->error_code);
    }
    return !error;
}

xcb_visualid_t argbVisual(const xcb_screen_t* screen) {
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
        if (d.data->depth != 32) {
            continue;
        }
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR) {
                return v.data->visual_id;
            }
        }
    }
    return 0;
}

/// Control+Shift+keysym, also with Caps Lock and Num Lock (Mod2) on.
std::vector<xcb_keycode_t> grab(xcb_connection_t* c, xcb_key_symbols_t* symbols, xcb_window_t root,
                                xcb_keysym_t keysym) {
    std::unique_ptr<xcb_keycode_t, FreeDeleter> codes(xcb_key_symbols_get_keycode(symbols, keysym));
    std::vector<xcb_keycode_t> grabbed;
    for (const xcb_keycode_t* k = codes.get(); k && *k != XCB_NO_SYMBOL; ++k) {
        for (const int extra : {0, int(XCB_MOD_MASK_LOCK), int(XCB_MOD_MASK_2), XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2}) {
            const auto mods = static_cast<std::uint16_t>(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT | extra);
            if (!checked(c, xcb_grab_key_checked(c, 0, root, mods, *k, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                         "grabbing the key")) {
                return {};
            }
        }
        grabbed.push_back(*k);
    }
    return grabbed;
}

bool contains(const std::vector<xcb_keycode_t>& codes, xcb_keycode_t code) {
    for (const xcb_keycode_t k : codes) {
        if (k == code) {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || std::string(argv[1]).size() != 1 || std::string(argv[2]).size() != 1) {
        std::fprintf(stderr, "usage: latency_floor SHOW HIDE [ALPHA]\n");
        return 2;
    }
    const double alpha = argc > 3 ? std::atof(argv[3]) : 0.8;
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "latency_floor: cannot open the display\n");
        return 1;
    }
    auto it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i) {
        xcb_screen_next(&it);
    }
    const xcb_screen_t* screen = it.data;
    const xcb_visualid_t visual = argbVisual(screen);
    if (!visual) {
        std::fprintf(stderr, "latency_floor: no 32-bit visual\n");
        return 1;
    }
    const xcb_colormap_t colormap = xcb_generate_id(c);
    xcb_create_colormap(c, XCB_COLORMAP_ALLOC_NONE, colormap, screen->root, visual);
    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t values[] = {0, 0, 1, XCB_EVENT_MASK_EXPOSURE, colormap};
    if (!checked(c,
                 xcb_create_window_checked(c, 32, window, screen->root, 0, 0, screen->width_in_pixels,
                                           screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, visual,
                                           XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT |
                                               XCB_CW_EVENT_MASK | XCB_CW_COLORMAP,
                                           values),
                 "creating the window")) {
        return 1;
    }
    // Premultiplied black at the veil's opacity.
    const std::uint32_t pixel = static_cast<std::uint32_t>(alpha * 255.0 + 0.5) << 24;
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, window, XCB_GC_FOREGROUND, &pixel);

    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    const auto show = grab(c, symbols, screen->root, static_cast<unsigned char>(argv[1][0]));
    const auto hide = grab(c, symbols, screen->root, static_cast<unsigned char>(argv[2][0]));
    xcb_key_symbols_free(symbols);
    if (show.empty() || hide.empty()) {
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    while (Reply<xcb_generic_event_t> event{xcb_wait_for_event(c)}) {
        switch (event->response_type & 0x7f) {
        case XCB_KEY_PRESS: {
            const auto* e = reinterpret_cast<const xcb_key_press_event_t*>(event.get());
            if (contains(show, e->detail)) {
                xcb_map_window(c, window);
            } else if (contains(hide, e->detail)) {
                xcb_unmap_window(c, window);
            }
            break;
        }
        case XCB_EXPOSE: {
            const auto* e = reinterpret_cast<const xcb_expose_event_t*>(event.get());
            const xcb_rectangle_t r{static_cast<std::int16_t>(e->x), static_cast<std::int16_t>(e->y), e->width,
                                    e->height};
            xcb_poly_fill_rectangle(c, window, gc, 1, &r);
            break;
        }
        default: break;
        }
        xcb_flush(c);
    }
    xcb_disconnect(c);
    return 0;
}
