#include "platform/wayland/PointerProbe.h"

#include "platform/wayland/WaylandConnection.h"

#include "wlr-layer-shell-unstable-v1-client-protocol.h"

#include <wayland-client.h>

namespace dimwell::wayland {

namespace {
constexpr std::uint32_t kAllEdges = ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                    ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT;
} // namespace

struct PointerProbe::Listeners {
    static void configure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width, uint32_t height) {
        auto& cover = *static_cast<Cover*>(data);
        cover.probe->configure(cover, serial, width, height);
    }
    static void closed(void*, zwlr_layer_surface_v1*) {}
    static constexpr zwlr_layer_surface_v1_listener layer{configure, closed};
};

PointerProbe::PointerProbe(WaylandConnection& connection) : connection_(connection) {}

PointerProbe::~PointerProbe() { clear(); }

void PointerProbe::run() {
    for (const WaylandOutput* output : connection_.outputs()) {
        auto cover = std::make_unique<Cover>();
        cover->probe = this;
        cover->output = output->globalName();
        cover->surface = wl_compositor_create_surface(connection_.compositor());
        cover->layer = zwlr_layer_shell_v1_get_layer_surface(connection_.layerShell(), cover->surface,
                                                             output->handle(), ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY,
                                                             "dimwell-pointer");
        zwlr_layer_surface_v1_add_listener(cover->layer, &Listeners::layer, cover.get());
        zwlr_layer_surface_v1_set_anchor(cover->layer, kAllEdges);
        zwlr_layer_surface_v1_set_exclusive_zone(cover->layer, -1);
        wl_surface_commit(cover->surface);
        covers_.push_back(std::move(cover));
    }
    // The first round trip brings the sizes, the second the shown surfaces and
    // the pointer's entry.
    if (connection_.roundtrip()) {
        connection_.roundtrip();
    }
    clear();
}

std::optional<std::uint32_t> PointerProbe::outputOf(const wl_surface* surface) const {
    for (const auto& cover : covers_) {
        if (surface && cover->surface == surface) {
            return cover->output;
        }
    }
    return std::nullopt;
}

void PointerProbe::configure(Cover& cover, std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
    zwlr_layer_surface_v1_ack_configure(cover.layer, serial);
    if (width == 0 || height == 0 || cover.buffer) {
        return;
    }
    // Fresh memory is all zero: fully clear, so nothing shows for the moment it is up.
    cover.buffer = ShmBuffer::create(connection_.shm(), static_cast<int>(width), static_cast<int>(height),
                                     connection_.log());
    if (!cover.buffer) {
        return;
    }
    wl_surface_attach(cover.surface, cover.buffer->handle(), 0, 0);
    wl_surface_commit(cover.surface);
}

void PointerProbe::clear() {
    for (const auto& cover : covers_) {
        zwlr_layer_surface_v1_destroy(cover->layer);
        wl_surface_destroy(cover->surface);
    }
    covers_.clear();
    wl_display_flush(connection_.display());
}

} // namespace dimwell::wayland
