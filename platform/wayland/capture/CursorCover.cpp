#include "platform/wayland/capture/CursorCover.h"

#include "platform/wayland/ShmBuffer.h"
#include "platform/wayland/WaylandConnection.h"

#include "wlr-layer-shell-unstable-v1-client-protocol.h"

#include <wayland-client.h>

namespace dimwell::wayland {

namespace {
constexpr std::uint32_t kAllEdges = ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                    ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT;
} // namespace

struct CursorCover::Listeners {
    static CursorCover& self(void* data) { return *static_cast<CursorCover*>(data); }

    static void configure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
                          uint32_t height) {
        zwlr_layer_surface_v1_ack_configure(layer, serial);
        self(data).width_ = width;
        self(data).height_ = height;
        self(data).configured_ = true;
    }
    static void closed(void*, zwlr_layer_surface_v1*) {}
    static constexpr zwlr_layer_surface_v1_listener layer{configure, closed};

    static void enter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface, wl_fixed_t, wl_fixed_t) {
        if (surface && surface == self(data).surface_) {
            wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
            self(data).entered_ = true;
        }
    }
    static void leave(void*, wl_pointer*, uint32_t, wl_surface*) {}
    static void motion(void*, wl_pointer*, uint32_t, wl_fixed_t, wl_fixed_t) {}
    static void button(void*, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t) {}
    static void axis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
    static void frame(void*, wl_pointer*) {}
    static void axisSource(void*, wl_pointer*, uint32_t) {}
    static void axisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
    static void axisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
    static constexpr wl_pointer_listener pointer{enter,      leave,    motion,       button, axis, frame,
                                                 axisSource, axisStop, axisDiscrete, nullptr};

    static void done(void* data, wl_callback* callback, uint32_t) {
        wl_callback_destroy(callback);
        self(data).frame_ = nullptr;
    }
    static constexpr wl_callback_listener frameDone{done};
};

CursorCover::CursorCover(WaylandConnection& connection, const PrivateQueue& queue, const WaylandOutput& output,
                         PrivateQueue::Clock::time_point deadline)
    : connection_(connection), queue_(queue) {
    // A pointer of its own on this queue: the enter event brings the serial that
    // setting the cursor needs. Made before the surface, so it sees the entry.
    if (connection_.seat()) {
        pointer_ = queue_.through<wl_pointer>(connection_.seat(),
                                              [](void* seat) { return wl_seat_get_pointer(static_cast<wl_seat*>(seat)); });
        if (pointer_) {
            wl_pointer_add_listener(pointer_, &Listeners::pointer, this);
        }
    }
    surface_ = queue_.through<wl_surface>(connection_.compositor(), [](void* compositor) {
        return wl_compositor_create_surface(static_cast<wl_compositor*>(compositor));
    });
    layer_ = queue_.through<zwlr_layer_surface_v1>(connection_.layerShell(), [this, &output](void* shell) {
        return zwlr_layer_shell_v1_get_layer_surface(static_cast<zwlr_layer_shell_v1*>(shell), surface_,
                                                     output.handle(), ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY,
                                                     "dimwell-capture");
    });
    if (!surface_ || !layer_) {
        return;
    }
    zwlr_layer_surface_v1_add_listener(layer_, &Listeners::layer, this);
    zwlr_layer_surface_v1_set_anchor(layer_, kAllEdges);
    zwlr_layer_surface_v1_set_exclusive_zone(layer_, -1);
    wl_surface_commit(surface_);
    if (!queue_.waitUntil([this] { return configured_; }, deadline) || width_ == 0 || height_ == 0) {
        return;
    }
    // Fresh memory is all zero: fully clear.
    buffer_ = ShmBuffer::create(connection_.shm(), int(width_), int(height_), connection_.log());
    if (!buffer_) {
        return;
    }
    wl_surface_attach(surface_, buffer_->handle(), 0, 0);
    commitAndWaitForFrame(deadline);
    // Drawn with the cover: the pointer over this output has entered it by now,
    // and one more frame is drawn without its image.
    if (entered_) {
        commitAndWaitForFrame(deadline);
    }
}

void CursorCover::commitAndWaitForFrame(PrivateQueue::Clock::time_point deadline) {
    if (frame_) {
        return;   // the last frame never came
    }
    frame_ = wl_surface_frame(surface_);
    wl_callback_add_listener(frame_, &Listeners::frameDone, this);
    wl_surface_damage(surface_, 0, 0, int(width_), int(height_));
    wl_surface_commit(surface_);
    queue_.waitUntil([this] { return frame_ == nullptr; }, deadline);
}

CursorCover::~CursorCover() {
    if (frame_) {
        wl_callback_destroy(frame_);
    }
    if (layer_) {
        zwlr_layer_surface_v1_destroy(layer_);
    }
    if (surface_) {
        wl_surface_destroy(surface_);
    }
    if (pointer_) {
        if (wl_pointer_get_version(pointer_) >= WL_POINTER_RELEASE_SINCE_VERSION) {
            wl_pointer_release(pointer_);
        } else {
            wl_pointer_destroy(pointer_);
        }
    }
    wl_display_flush(connection_.display());
}

} // namespace dimwell::wayland
