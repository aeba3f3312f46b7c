#include "platform/wayland/WaylandInputService.h"

#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandMaskSurface.h"

#include <wayland-client.h>
#include <wayland-cursor.h>

#include <linux/input-event-codes.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace dimwell::wayland {

namespace {
constexpr std::uint32_t kSeatVersion = 5;
/// The key code the overlay knows Escape by.
constexpr std::int64_t kEscapeKeyCode = 53;
constexpr int kCursorSize = 24;
} // namespace

struct WaylandInputService::Listeners {
    static WaylandInputService& self(void* data) { return *static_cast<WaylandInputService*>(data); }

    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
        if (std::strcmp(interface, wl_seat_interface.name) == 0) {
            self(data).seatGlobal(registry, name, version);
        }
    }
    static void globalRemove(void* data, wl_registry*, uint32_t name) { self(data).seatRemoved(name); }
    static constexpr wl_registry_listener registry{global, globalRemove};

    static void capabilities(void* data, wl_seat*, uint32_t caps) { self(data).capabilities(caps); }
    static void seatName(void*, wl_seat*, const char*) {}
    static constexpr wl_seat_listener seat{capabilities, seatName};

    static void enter(void* data, wl_pointer*, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
        self(data).pointerEntered(serial, surface, wl_fixed_to_double(x), wl_fixed_to_double(y));
    }
    static void leave(void* data, wl_pointer*, uint32_t, wl_surface* surface) { self(data).pointerLeft(surface); }
    static void motion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
        self(data).pointerMoved(wl_fixed_to_double(x), wl_fixed_to_double(y));
    }
    static void button(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t button, uint32_t state) {
        self(data).buttonChanged(button, state);
    }
    static void axis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
    static void frame(void*, wl_pointer*) {}
    static void axisSource(void*, wl_pointer*, uint32_t) {}
    static void axisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
    static void axisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
    static constexpr wl_pointer_listener pointer{enter, leave, motion, button, axis, frame,
                                                 axisSource, axisStop, axisDiscrete, nullptr};

    static void keymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { ::close(fd); }
    static void keyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
    static void keyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
    static void key(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state) {
        self(data).keyChanged(key, state);
    }
    static void modifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
    static void repeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
    static constexpr wl_keyboard_listener keyboard{keymap, keyboardEnter, keyboardLeave, key, modifiers, repeatInfo};
};

WaylandInputService::WaylandInputService(WaylandConnection& connection, MaskRoster& masks,
                                         std::function<double()> mainScreenHeight, PointerSightings* sightings)
    : connection_(connection), masks_(masks), mainScreenHeight_(std::move(mainScreenHeight)),
      sightings_(sightings), log_(connection.log()), probe_(std::make_unique<PointerProbe>(connection)),
      taps_(log_, [this] { tapsChanged(); }) {
    // A seat of our own: its capabilities are told at binding and again whenever
    // a pointer or keyboard comes or goes.
    registry_ = wl_display_get_registry(connection_.display());
    wl_registry_add_listener(registry_, &Listeners::registry, this);
    if (connection_.roundtrip() && !seat_) {
        log_("Wayland: the compositor offers no seat; the overlay gets no pointer or keyboard");
    }
}

WaylandInputService::~WaylandInputService() {
    releaseDevices();
    if (seat_) {
        wl_seat_release(seat_);
    }
    if (cursorSurface_) {
        wl_surface_destroy(cursorSurface_);
    }
    if (cursorTheme_) {
        wl_cursor_theme_destroy(cursorTheme_);
    }
    wl_registry_destroy(registry_);
    wl_display_flush(connection_.display());
}

std::unique_ptr<EventTap> WaylandInputService::createTap(std::uint64_t eventMask, TapCallback callback) {
    return taps_.create(eventMask, std::move(callback));
}

void WaylandInputService::tapsChanged() {
    masks_.setTakingClicks(taps_.anyWants(leftMouseDownMask));
}

Point WaylandInputService::mouseLocation() const {
    // Over a mask that takes the pointer the last sighting is current; elsewhere
    // the pointer may have gone anywhere since.
    if (pointer_ && !masks_.find(entered_)) {
        probe_->run();
    }
    return {location_.x, mainScreenHeight_() - location_.y};
}

void WaylandInputService::hideCursor() {
    cursorHidden_ = true;
    applyCursor();
}

void WaylandInputService::showCursor() {
    cursorHidden_ = false;
    applyCursor();
}

void WaylandInputService::seatGlobal(wl_registry* registry, std::uint32_t name, std::uint32_t version) {
    if (seat_) {
        return;   // the first seat is the user's
    }
    seat_ = static_cast<wl_seat*>(
        wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, kSeatVersion)));
    seatName_ = name;
    wl_seat_add_listener(seat_, &Listeners::seat, this);
}

void WaylandInputService::seatRemoved(std::uint32_t name) {
    if (!seat_ || name != seatName_) {
        return;
    }
    releaseDevices();
    wl_seat_release(seat_);
    seat_ = nullptr;
}

void WaylandInputService::capabilities(std::uint32_t caps) {
    const bool hasPointer = (caps & WL_SEAT_CAPABILITY_POINTER) != 0;
    const bool hasKeyboard = (caps & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (hasPointer && !pointer_) {
        pointer_ = wl_seat_get_pointer(seat_);
        wl_pointer_add_listener(pointer_, &Listeners::pointer, this);
    } else if (!hasPointer && pointer_) {
        wl_pointer_release(pointer_);
        pointer_ = nullptr;
        entered_ = nullptr;
        leftHeld_ = false;
    }
    if (hasKeyboard && !keyboard_) {
        keyboard_ = wl_seat_get_keyboard(seat_);
        wl_keyboard_add_listener(keyboard_, &Listeners::keyboard, this);
    } else if (!hasKeyboard && keyboard_) {
        wl_keyboard_release(keyboard_);
        keyboard_ = nullptr;
    }
}

void WaylandInputService::releaseDevices() {
    if (pointer_) {
        wl_pointer_release(pointer_);
        pointer_ = nullptr;
    }
    if (keyboard_) {
        wl_keyboard_release(keyboard_);
        keyboard_ = nullptr;
    }
    entered_ = nullptr;
    leftHeld_ = false;
}

std::optional<Point> WaylandInputService::inLayout(double x, double y) const {
    const WaylandMaskSurface* mask = masks_.find(entered_);
    const std::optional<std::uint32_t> outputName = mask ? mask->output() : probe_->outputOf(entered_);
    const WaylandOutput* output = outputName ? connection_.output(*outputName) : nullptr;
    if (!output) {
        return std::nullopt;
    }
    return Point{output->logical().x + x, output->logical().y + y};
}

void WaylandInputService::pointerEntered(std::uint32_t serial, wl_surface* surface, double x, double y) {
    entered_ = surface;
    enterSerial_ = serial;
    // A press's surface keeps the pointer until the release, so an entry starts
    // with the button up; the release of a press whose mask went away never came.
    leftHeld_ = false;
    if (probe_->outputOf(surface)) {
        // Only a position asked for: no tap hears of it, in the middle of a question.
        if (const std::optional<Point> p = inLayout(x, y)) {
            location_ = *p;
            if (sightings_) {
                sightings_->pointerSeenAt(*p);
            }
        }
        return;
    }
    applyCursor();
    if (const std::optional<Point> p = inLayout(x, y)) {
        seen(leftHeld_ ? EventType::LeftMouseDragged : EventType::MouseMoved, *p);
    }
}

void WaylandInputService::pointerLeft(wl_surface* surface) {
    if (surface == entered_) {
        entered_ = nullptr;
    }
}

void WaylandInputService::pointerMoved(double x, double y) {
    if (const std::optional<Point> p = inLayout(x, y)) {
        seen(leftHeld_ ? EventType::LeftMouseDragged : EventType::MouseMoved, *p);
    }
}

void WaylandInputService::buttonChanged(std::uint32_t button, std::uint32_t state) {
    if (button != BTN_LEFT) {
        return;
    }
    leftHeld_ = state == WL_POINTER_BUTTON_STATE_PRESSED;
    if (!masks_.find(entered_)) {
        return;
    }
    taps_.dispatch({leftHeld_ ? EventType::LeftMouseDown : EventType::LeftMouseUp, location_, 0});
}

void WaylandInputService::keyChanged(std::uint32_t key, std::uint32_t state) {
    // Escape is the one key the overlay listens for, and only while selecting;
    // keys are given by their physical place, so every layout has it there.
    if (key == KEY_ESC && state == WL_KEYBOARD_KEY_STATE_PRESSED && masks_.selecting()) {
        taps_.dispatch({EventType::KeyDown, location_, kEscapeKeyCode});
    }
}

void WaylandInputService::seen(EventType type, Point location) {
    location_ = location;
    if (sightings_) {
        sightings_->pointerSeenAt(location);
    }
    taps_.dispatch({type, location, 0});
}

void WaylandInputService::applyCursor() {
    if (!pointer_ || !entered_ || !masks_.find(entered_)) {
        return;
    }
    if (cursorHidden_) {
        wl_pointer_set_cursor(pointer_, enterSerial_, nullptr, 0, 0);
        return;
    }
    // Over a mask that takes clicks the pointer shows as an arrow; a surface
    // gives the pointer no image until it sets one.
    if (!cursorThemeTried_) {
        cursorThemeTried_ = true;
        cursorTheme_ = wl_cursor_theme_load(std::getenv("XCURSOR_THEME"), kCursorSize, connection_.shm());
        if (cursorTheme_) {
            cursorSurface_ = wl_compositor_create_surface(connection_.compositor());
        } else {
            log_("Wayland: no cursor theme; the pointer shows no arrow over the veil");
        }
    }
    wl_cursor* cursor = cursorTheme_ ? wl_cursor_theme_get_cursor(cursorTheme_, "left_ptr") : nullptr;
    if (!cursor) {
        cursor = cursorTheme_ ? wl_cursor_theme_get_cursor(cursorTheme_, "default") : nullptr;
    }
    if (!cursor || cursor->image_count == 0) {
        return;
    }
    wl_cursor_image* image = cursor->images[0];
    wl_buffer* buffer = wl_cursor_image_get_buffer(image);
    if (!buffer) {
        return;
    }
    wl_surface_attach(cursorSurface_, buffer, 0, 0);
    wl_surface_damage_buffer(cursorSurface_, 0, 0, static_cast<std::int32_t>(image->width),
                             static_cast<std::int32_t>(image->height));
    wl_surface_commit(cursorSurface_);
    wl_pointer_set_cursor(pointer_, enterSerial_, cursorSurface_, static_cast<std::int32_t>(image->hotspot_x),
                          static_cast<std::int32_t>(image->hotspot_y));
}

} // namespace dimwell::wayland
