#include "platform/wayland/WaylandConnection.h"

#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace dimwell::wayland {

namespace {

// Versions whose events this client handles; a newer compositor offers more.
constexpr std::uint32_t kCompositorVersion = 4;
constexpr std::uint32_t kShmVersion = 1;
constexpr std::uint32_t kSeatVersion = 5;
constexpr std::uint32_t kOutputVersion = 3;
constexpr std::uint32_t kLayerShellVersion = 4;
constexpr std::uint32_t kXdgOutputVersion = 3;

template <typename T>
T* bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface, std::uint32_t offered,
        std::uint32_t wanted) {
    return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

} // namespace

struct WaylandConnection::Listeners {
    static void global(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
        static_cast<WaylandConnection*>(data)->global(name, interface, version);
    }
    static void globalRemove(void* data, wl_registry*, uint32_t name) {
        static_cast<WaylandConnection*>(data)->globalRemove(name);
    }
    static constexpr wl_registry_listener registry{global, globalRemove};

    static void capabilities(void* data, wl_seat*, uint32_t caps) {
        static_cast<WaylandConnection*>(data)->seatCapabilities(caps);
    }
    static void seatName(void*, wl_seat*, const char*) {}
    static constexpr wl_seat_listener seat{capabilities, seatName};

    // Only the keymap and the layout group: the keys themselves go to the masks' own keyboard.
    static void keymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
        static_cast<WaylandConnection*>(data)->keymapReceived(format, fd, size);
    }
    static void enter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
    static void leave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
    static void key(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t) {}
    static void modifiers(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t group) {
        static_cast<WaylandConnection*>(data)->layoutGroupTold(group);
    }
    static void repeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
    static constexpr wl_keyboard_listener keyboard{keymap, enter, leave, key, modifiers, repeatInfo};
};

std::unique_ptr<WaylandConnection> WaylandConnection::connect(LogSink& log, const char* name) {
    Logger logger(log);
    wl_display* display = wl_display_connect(name);
    if (!display) {
        logger("Wayland: cannot connect to the compositor (%s)", std::strerror(errno));
        return nullptr;
    }
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display, log));
    // The first round trip lists the globals, the second the outputs' descriptions.
    if (!connection->roundtrip() || !connection->roundtrip()) {
        return nullptr;
    }
    const char* missing = !connection->compositor_ ? "wl_compositor"
                          : !connection->shm_       ? "wl_shm"
                          : !connection->layerShell_ ? "zwlr_layer_shell_v1"
                          : !connection->xdgOutputs_ ? "zxdg_output_manager_v1"
                                                     : nullptr;
    if (missing) {
        logger("Wayland: the compositor offers no %s; masks need it", missing);
        return nullptr;
    }
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* display, LogSink& log) : display_(display), log_(log) {
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &Listeners::registry, this);
}

WaylandConnection::~WaylandConnection() {
    outputs_.clear();
    if (layerShell_) {
        zwlr_layer_shell_v1_destroy(layerShell_);
    }
    if (xdgOutputs_) {
        zxdg_output_manager_v1_destroy(xdgOutputs_);
    }
    releaseKeyboard();
    if (seat_) {
        wl_seat_release(seat_);
    }
    if (shm_) {
        wl_shm_destroy(shm_);
    }
    if (compositor_) {
        wl_compositor_destroy(compositor_);
    }
    wl_registry_destroy(registry_);
    wl_display_flush(display_);
    wl_display_disconnect(display_);
}

void WaylandConnection::global(std::uint32_t name, const char* interface, std::uint32_t version) {
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        compositor_ = bind<wl_compositor>(registry_, name, &wl_compositor_interface, version, kCompositorVersion);
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        shm_ = bind<wl_shm>(registry_, name, &wl_shm_interface, version, kShmVersion);
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !seat_) {
        seat_ = bind<wl_seat>(registry_, name, &wl_seat_interface, version, kSeatVersion);
        seatName_ = name;
        wl_seat_add_listener(seat_, &Listeners::seat, this);
    } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
        layerShell_ = bind<zwlr_layer_shell_v1>(registry_, name, &zwlr_layer_shell_v1_interface, version,
                                                kLayerShellVersion);
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        xdgOutputs_ = bind<zxdg_output_manager_v1>(registry_, name, &zxdg_output_manager_v1_interface, version,
                                                   kXdgOutputVersion);
        for (auto& output : outputs_) {
            output->describeWith(xdgOutputs_);
        }
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        addOutput(name, std::min(version, kOutputVersion));
    }
}

void WaylandConnection::addOutput(std::uint32_t name, std::uint32_t version) {
    auto* handle = static_cast<wl_output*>(wl_registry_bind(registry_, name, &wl_output_interface, version));
    auto output = std::make_unique<WaylandOutput>(handle, name, version);
    output->setChanged([this, first = true](WaylandOutput& changed) mutable {
        const OutputChange change = first ? OutputChange::Added : OutputChange::Changed;
        first = false;
        if (outputsChanged_) {
            outputsChanged_(changed.globalName(), change);
        }
    });
    output->describeWith(xdgOutputs_);
    outputs_.push_back(std::move(output));
}

void WaylandConnection::globalRemove(std::uint32_t name) {
    if (seat_ && name == seatName_) {
        releaseKeyboard();
        wl_seat_release(seat_);
        seat_ = nullptr;
        return;
    }
    const auto it = std::find_if(outputs_.begin(), outputs_.end(),
                                 [name](const auto& output) { return output->globalName() == name; });
    if (it == outputs_.end()) {
        return;
    }
    const bool wasReady = (*it)->ready();
    outputs_.erase(it);
    if (wasReady && outputsChanged_) {
        outputsChanged_(name, OutputChange::Removed);
    }
}

std::vector<WaylandOutput*> WaylandConnection::outputs() const {
    std::vector<WaylandOutput*> ready;
    for (const auto& output : outputs_) {
        if (output->ready()) {
            ready.push_back(output.get());
        }
    }
    return ready;
}

WaylandOutput* WaylandConnection::output(std::uint32_t globalName) const {
    for (const auto& output : outputs_) {
        if (output->globalName() == globalName && output->ready()) {
            return output.get();
        }
    }
    return nullptr;
}

void WaylandConnection::seatCapabilities(std::uint32_t capabilities) {
    const bool hasKeyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (hasKeyboard && !keyboard_) {
        keyboard_ = wl_seat_get_keyboard(seat_);
        wl_keyboard_add_listener(keyboard_, &Listeners::keyboard, this);
    } else if (!hasKeyboard) {
        releaseKeyboard();
    }
}

void WaylandConnection::releaseKeyboard() {
    if (!keyboard_) {
        return;
    }
    wl_keyboard_release(keyboard_);
    keyboard_ = nullptr;
    if (!keymap_.empty()) {
        keymap_.clear();
        layoutGroup_ = 0;
        if (keyboardChanged_) {
            keyboardChanged_();
        }
    }
}

void WaylandConnection::keymapReceived(std::uint32_t format, int fd, std::uint32_t size) {
    std::string text;
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        // Mapped privately, as later versions of the protocol require.
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            const char* begin = static_cast<const char*>(map);
            text.assign(begin, strnlen(begin, size));   // the text ends with a NUL
            ::munmap(map, size);
        } else {
            const Logger logger(log_);
            logger("Wayland: the compositor's keymap cannot be read (%s)", std::strerror(errno));
        }
    }
    ::close(fd);
    if (text == keymap_) {
        return;
    }
    keymap_ = std::move(text);
    layoutGroup_ = 0;
    if (keyboardChanged_) {
        keyboardChanged_();
    }
}

void WaylandConnection::layoutGroupTold(std::uint32_t group) {
    if (group == layoutGroup_) {
        return;
    }
    layoutGroup_ = group;
    if (keyboardChanged_) {
        keyboardChanged_();
    }
}

int WaylandConnection::fd() const { return wl_display_get_fd(display_); }

void WaylandConnection::dispatchPending() {
    if (wl_display_dispatch_pending(display_) < 0) {
        reportFailure();
        return;
    }
    // A full socket is not an error: the rest goes out at the next round.
    if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
        reportFailure();
    }
}

void WaylandConnection::readAndDispatch() {
    // One thread reads here, and the read never blocks: the socket is readable.
    // Handlers may run round trips of their own, so no read is held across a wait.
    while (wl_display_prepare_read(display_) != 0) {
        if (wl_display_dispatch_pending(display_) < 0) {
            reportFailure();
            return;
        }
    }
    if (wl_display_read_events(display_) < 0) {
        reportFailure();
        return;
    }
    dispatchPending();
}

bool WaylandConnection::roundtrip() {
    if (wl_display_roundtrip(display_) < 0) {
        reportFailure();
        return false;
    }
    return true;
}

bool WaylandConnection::failed() const { return wl_display_get_error(display_) != 0; }

void WaylandConnection::reportFailure() const {
    if (failureReported_) {
        return;
    }
    failureReported_ = true;
    const int error = wl_display_get_error(display_);
    const Logger logger(log_);
    logger("Wayland: the connection to the compositor failed (%s)", std::strerror(error != 0 ? error : errno));
}

} // namespace dimwell::wayland
