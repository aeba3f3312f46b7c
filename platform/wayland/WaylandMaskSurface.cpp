#include "platform/wayland/WaylandMaskSurface.h"

#include "platform/wayland/RasterCanvas.h"
#include "platform/wayland/WaylandConnection.h"

#include "wlr-layer-shell-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cmath>

namespace dimwell::wayland {

namespace {

enum InputMode { IgnoresMouse, ClickOut, Selecting };

constexpr std::uint32_t kAllEdges = ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                    ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT;

int rounded(double v) { return static_cast<int>(std::lround(v)); }

} // namespace

struct WaylandMaskSurface::Listeners {
    static WaylandMaskSurface& self(void* data) { return *static_cast<WaylandMaskSurface*>(data); }

    static void configure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width, uint32_t height) {
        self(data).configure(serial, width, height);
    }
    // The output went away: the surface is of no use any more. The controller
    // hears of the output separately and rebuilds its masks.
    static void closed(void* data, zwlr_layer_surface_v1*) { self(data).unmap(); }
    static constexpr zwlr_layer_surface_v1_listener layer{configure, closed};

    static void frameDone(void* data, wl_callback*, uint32_t) { self(data).frameDone(); }
    static constexpr wl_callback_listener frame{frameDone};
};

WaylandMaskSurface::WaylandMaskSurface(WaylandConnection& connection, std::uint32_t output, const Rect& frame,
                                       SurfacePainter& painter)
    : connection_(connection), log_(connection.log()), output_(output), frame_(frame), painter_(&painter) {}

WaylandMaskSurface::~WaylandMaskSurface() { close(); }

void WaylandMaskSurface::orderFront() {
    if (closed_) {
        return;
    }
    wanted_ = true;
    if (!layer_) {
        map();
    }
}

void WaylandMaskSurface::orderOut() {
    wanted_ = false;
    unmap();
}

void WaylandMaskSurface::close() {
    wanted_ = false;
    closed_ = true;
    unmap();
    for (auto& buffer : buffers_) {
        buffer.reset();
    }
}

void WaylandMaskSurface::setIgnoresMouseEvents(bool ignores) {
    if (ignoresMouse_ == ignores) {
        return;
    }
    ignoresMouse_ = ignores;
    if (configured_ && shownValid_) {
        applyInputRegion(shown_);
        wl_surface_commit(surface_);
    }
}

void WaylandMaskSurface::setSelecting(bool selecting) {
    if (selecting_ == selecting) {
        return;
    }
    selecting_ = selecting;
    if (!layer_) {
        return;
    }
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        layer_, selecting ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE
                          : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    if (shownValid_) {
        applyInputRegion(shown_);
    }
    wl_surface_commit(surface_);
}

void WaylandMaskSurface::display() {
    dirty_ = true;
    if (configured_) {
        paint();
    }
}

void WaylandMaskSurface::setNeedsDisplay() {
    dirty_ = true;
    requestFrame();
}

void WaylandMaskSurface::map() {
    WaylandOutput* output = connection_.output(output_);
    if (!output) {
        log_("Wayland: output %u is gone; its mask stays hidden", output_);
        return;
    }
    surface_ = wl_compositor_create_surface(connection_.compositor());
    layer_ = zwlr_layer_shell_v1_get_layer_surface(connection_.layerShell(), surface_, output->handle(),
                                                   ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "dimwell-mask");
    zwlr_layer_surface_v1_add_listener(layer_, &Listeners::layer, this);
    zwlr_layer_surface_v1_set_size(layer_, 0, 0);
    zwlr_layer_surface_v1_set_anchor(layer_, kAllEdges);
    // -1: cover panels too, and push nothing aside.
    zwlr_layer_surface_v1_set_exclusive_zone(layer_, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        layer_, selecting_ ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE
                           : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    inputMode_ = -1;
    inputHoles_.reset();
    applyInputRegion({});
    // The first commit carries no buffer; the compositor answers with the size.
    wl_surface_commit(surface_);
    dirty_ = true;
}

void WaylandMaskSurface::unmap() {
    if (frameCallback_) {
        wl_callback_destroy(frameCallback_);
        frameCallback_ = nullptr;
    }
    if (layer_) {
        zwlr_layer_surface_v1_destroy(layer_);
        layer_ = nullptr;
    }
    if (surface_) {
        wl_surface_destroy(surface_);
        surface_ = nullptr;
    }
    // A buffer the compositor still holds is not drawn into again.
    for (auto& buffer : buffers_) {
        if (buffer && buffer->busy()) {
            buffer.reset();
        }
    }
    configured_ = false;
    shownValid_ = false;
}

void WaylandMaskSurface::configure(std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
    zwlr_layer_surface_v1_ack_configure(layer_, serial);
    if (width == 0 || height == 0) {
        log_("Wayland: the compositor gave the mask on output %u no size", output_);
        return;
    }
    if (static_cast<int>(width) != width_ || static_cast<int>(height) != height_) {
        width_ = static_cast<int>(width);
        height_ = static_cast<int>(height);
        shownValid_ = false;
    }
    configured_ = true;
    // A configured surface shows nothing until a buffer is committed.
    if (!shownValid_ || dirty_) {
        dirty_ = true;
        paint();
    } else {
        wl_surface_commit(surface_);
    }
}

void WaylandMaskSurface::requestFrame() {
    if (!configured_ || frameCallback_) {
        return;
    }
    frameCallback_ = wl_surface_frame(surface_);
    wl_callback_add_listener(frameCallback_, &Listeners::frame, this);
    wl_surface_commit(surface_);
}

void WaylandMaskSurface::frameDone() {
    wl_callback_destroy(frameCallback_);
    frameCallback_ = nullptr;
    if (dirty_) {
        paint();
    }
}

ShmBuffer* WaylandMaskSurface::freeBuffer(int width, int height) {
    for (auto& buffer : buffers_) {
        if (buffer && !buffer->busy() && buffer->width() == width && buffer->height() == height) {
            return buffer.get();
        }
    }
    // Memory is made only for a new size (or after the compositor kept a buffer).
    for (auto& buffer : buffers_) {
        if (!buffer || (!buffer->busy() && (buffer->width() != width || buffer->height() != height))) {
            buffer = ShmBuffer::create(connection_.shm(), width, height, connection_.log());
            return buffer.get();
        }
    }
    return nullptr;
}

void WaylandMaskSurface::paint() {
    if (!configured_ || !surface_) {
        return;
    }
    const WaylandOutput* output = connection_.output(output_);
    const int scale = output ? output->scale() : scale_;
    ShmBuffer* buffer = freeBuffer(width_ * scale, height_ * scale);
    if (!buffer) {
        // Both buffers are still on screen: try again at the next frame.
        requestFrame();
        return;
    }
    const Rect bounds{0.0, 0.0, static_cast<double>(width_), static_cast<double>(height_)};
    RecordingCanvas recording;
    painter_->draw(recording, bounds);
    Picture picture = recording.take();

    // The buffer still holds the picture it was last painted with, two frames
    // back: repainting where that one differs from this one covers both this
    // frame's change and the one painted into the other buffer meanwhile.
    RasterCanvas canvas(buffer->pixels(), buffer->width(), buffer->height(), buffer->stride(), scale);
    const Picture* held = buffer->picture(scale);
    const std::vector<Rect> repaint = held ? damageBetween(*held, picture, bounds) : std::vector<Rect>{bounds};
    for (const Rect& area : repaint) {
        canvas.clipTo(area);
        replay(picture, canvas);
    }

    const bool full = !shownValid_ || scale != scale_;
    const std::vector<Rect> damage = full ? std::vector<Rect>{bounds} : damageBetween(shown_, picture, bounds);
    wl_surface_attach(surface_, buffer->handle(), 0, 0);
    wl_surface_set_buffer_scale(surface_, scale);
    for (const Rect& area : damage) {
        const PixelRect p = canvas.toPixels(area);
        wl_surface_damage_buffer(surface_, p.x0, p.y0, p.x1 - p.x0, p.y1 - p.y0);
    }
    applyInputRegion(picture);
    wl_surface_commit(surface_);
    buffer->setBusy();
    buffer->setPicture(picture, scale);
    shown_ = std::move(picture);
    shownValid_ = true;
    scale_ = scale;
    dirty_ = false;
    ++commits_;
}

void WaylandMaskSurface::applyInputRegion(const Picture& picture) {
    const int mode = selecting_ ? Selecting : ignoresMouse_ ? IgnoresMouse : ClickOut;
    std::vector<Rect> holes = mode == ClickOut ? clearAreas(picture) : std::vector<Rect>{};
    if (mode == inputMode_ && inputHoles_ == holes) {
        return;
    }
    inputMode_ = mode;
    inputHoles_ = holes;
    if (mode == Selecting) {
        wl_surface_set_input_region(surface_, nullptr);  // the whole surface
        return;
    }
    wl_region* region = wl_compositor_create_region(connection_.compositor());
    if (mode == ClickOut) {
        wl_region_add(region, 0, 0, width_, height_);
        for (const Rect& hole : holes) {
            // Window-local points have their origin bottom-left; the region's is top-left.
            const int x0 = rounded(hole.x);
            const int y0 = rounded(height_ - hole.maxY());
            wl_region_subtract(region, x0, y0, rounded(hole.maxX()) - x0, rounded(height_ - hole.y) - y0);
        }
    }
    wl_surface_set_input_region(surface_, region);
    wl_region_destroy(region);
}

} // namespace dimwell::wayland
