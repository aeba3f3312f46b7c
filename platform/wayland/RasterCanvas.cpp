#include "platform/wayland/RasterCanvas.h"

#include <algorithm>
#include <cmath>

namespace dimwell::wayland {

namespace {

std::uint32_t channel(double value) {
    return static_cast<std::uint32_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
}

/// Premultiplied, as wl_shm's ARGB8888 wants it.
std::uint32_t premultiplied(const Color& c) {
    const double a = std::clamp(c.alpha, 0.0, 1.0);
    return channel(a) << 24 | channel(c.red * a) << 16 | channel(c.green * a) << 8 | channel(c.blue * a);
}

std::uint32_t over(std::uint32_t src, std::uint32_t dst) {
    const std::uint32_t keep = 255 - (src >> 24);
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t s = (src >> shift) & 0xff;
        const std::uint32_t d = (dst >> shift) & 0xff;
        out |= std::min<std::uint32_t>(255, s + (d * keep + 127) / 255) << shift;
    }
    return out;
}

int toPixel(double points, int scale) { return static_cast<int>(std::lround(points * scale)); }

} // namespace

RasterCanvas::RasterCanvas(std::uint32_t* pixels, int width, int height, int stride, int scale)
    : pixels_(pixels), width_(width), height_(height), stride_(stride), scale_(std::max(1, scale)),
      clip_{0, 0, width, height} {}

PixelRect RasterCanvas::toPixels(const Rect& area) const {
    const double heightPoints = static_cast<double>(height_) / scale_;
    PixelRect r{toPixel(area.x, scale_), toPixel(heightPoints - area.maxY(), scale_), toPixel(area.maxX(), scale_),
                toPixel(heightPoints - area.y, scale_)};
    r.x0 = std::clamp(r.x0, 0, width_);
    r.x1 = std::clamp(r.x1, 0, width_);
    r.y0 = std::clamp(r.y0, 0, height_);
    r.y1 = std::clamp(r.y1, 0, height_);
    return r;
}

void RasterCanvas::clipTo(const Rect& area) { clip_ = toPixels(area); }

PixelRect RasterCanvas::clipped(const Rect& area) const {
    if (area.isEmpty()) {
        return {};
    }
    const PixelRect r = toPixels(area);
    return {std::max(r.x0, clip_.x0), std::max(r.y0, clip_.y0), std::min(r.x1, clip_.x1), std::min(r.y1, clip_.y1)};
}

void RasterCanvas::fillCopy(const Rect& rect, const Color& color) {
    const PixelRect r = clipped(rect);
    if (r.empty()) {
        return;
    }
    const std::uint32_t value = premultiplied(color);
    for (int y = r.y0; y < r.y1; ++y) {
        std::fill(pixels_ + static_cast<std::ptrdiff_t>(y) * stride_ + r.x0,
                  pixels_ + static_cast<std::ptrdiff_t>(y) * stride_ + r.x1, value);
    }
}

void RasterCanvas::strokeLine(Point from, Point to, double width, const Color& color) {
    const double half = width / 2.0;
    Rect band;
    if (from.x == to.x) {
        band = {from.x - half, std::min(from.y, to.y), width, std::abs(to.y - from.y)};
    } else if (from.y == to.y) {
        band = {std::min(from.x, to.x), from.y - half, std::abs(to.x - from.x), width};
    } else {
        return;
    }
    const PixelRect r = clipped(band);
    if (r.empty()) {
        return;
    }
    const std::uint32_t value = premultiplied(color);
    for (int y = r.y0; y < r.y1; ++y) {
        std::uint32_t* row = pixels_ + static_cast<std::ptrdiff_t>(y) * stride_;
        for (int x = r.x0; x < r.x1; ++x) {
            row[x] = over(value, row[x]);
        }
    }
}

} // namespace dimwell::wayland
