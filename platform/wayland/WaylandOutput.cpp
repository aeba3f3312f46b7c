#include "platform/wayland/WaylandOutput.h"

#include "xdg-output-unstable-v1-client-protocol.h"

#include <wayland-client.h>

namespace dimwell::wayland {

struct WaylandOutput::Listeners {
    static WaylandOutput& self(void* data) { return *static_cast<WaylandOutput*>(data); }

    static void geometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                         int32_t) {}
    static void mode(void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {}
    static void outputDone(void* data, wl_output*) { self(data).done(); }
    static void scale(void* data, wl_output*, int32_t factor) { self(data).pendingScale_ = factor > 0 ? factor : 1; }
    static void outputName(void*, wl_output*, const char*) {}
    static void outputDescription(void*, wl_output*, const char*) {}
    static constexpr wl_output_listener output{geometry, mode, outputDone, scale, outputName, outputDescription};

    static void position(void* data, zxdg_output_v1*, int32_t x, int32_t y) {
        self(data).pending_.x = x;
        self(data).pending_.y = y;
    }
    static void size(void* data, zxdg_output_v1*, int32_t width, int32_t height) {
        self(data).pending_.width = width;
        self(data).pending_.height = height;
    }
    // From version 3 on, wl_output.done closes a description and this one is not sent.
    static void xdgDone(void* data, zxdg_output_v1*) { self(data).done(); }
    static void name(void* data, zxdg_output_v1*, const char* text) { self(data).name_ = text ? text : ""; }
    static void description(void*, zxdg_output_v1*, const char*) {}
    static constexpr zxdg_output_v1_listener xdg{position, size, xdgDone, name, description};
};

WaylandOutput::WaylandOutput(wl_output* output, std::uint32_t globalName, std::uint32_t version)
    : output_(output), globalName_(globalName), version_(version) {
    wl_output_add_listener(output_, &Listeners::output, this);
}

WaylandOutput::~WaylandOutput() {
    if (xdg_) {
        zxdg_output_v1_destroy(xdg_);
    }
    if (version_ >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
        wl_output_release(output_);
    } else {
        wl_output_destroy(output_);
    }
}

void WaylandOutput::describeWith(zxdg_output_manager_v1* manager) {
    if (xdg_ || !manager) {
        return;
    }
    xdg_ = zxdg_output_manager_v1_get_xdg_output(manager, output_);
    zxdg_output_v1_add_listener(xdg_, &Listeners::xdg, this);
}

void WaylandOutput::done() {
    // Without its layout position an output cannot be masked yet.
    if (!xdg_ || pending_.isEmpty()) {
        return;
    }
    const bool changed = !ready_ || pending_ != logical_ || pendingScale_ != scale_;
    logical_ = pending_;
    scale_ = pendingScale_;
    ready_ = true;
    if (changed && changed_) {
        changed_(*this);
    }
}

} // namespace dimwell::wayland
