#include "platform/sim/SimCanvas.h"

#include <algorithm>
#include <cmath>

namespace dimwell {
namespace {

std::uint8_t channel(double v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); }

} // namespace

Rgba toRgba(const Color& c) { return {channel(c.red), channel(c.green), channel(c.blue), channel(c.alpha)}; }

Rgba* SimCanvas::at(int x, int y) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return nullptr;
    }
    if (pixels_.empty()) {
        pixels_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_));
    }
    return &pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

Rgba SimCanvas::pixel(int x, int y) const {
    if (pixels_.empty() || x < 0 || y < 0 || x >= width_ || y >= height_) {
        return {};
    }
    return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

long SimCanvas::countPixels(const Rgba& c) const {
    if (pixels_.empty()) {
        return c == Rgba{} ? static_cast<long>(width_) * height_ : 0;
    }
    return static_cast<long>(std::count(pixels_.begin(), pixels_.end(), c));
}

bool SimCanvas::inClip(double cx, double cy) const { return pointInRect({cx, cy}, clip_); }

void SimCanvas::fillCopy(const Rect& rect, const Color& color) {
    if (rect.isEmpty()) {
        return;
    }
    const Rgba c = toRgba(color);
    const int x0 = std::max(0, static_cast<int>(std::floor(rect.x)));
    const int y0 = std::max(0, static_cast<int>(std::floor(rect.y)));
    const int x1 = std::min(width_, static_cast<int>(std::ceil(rect.maxX())));
    const int y1 = std::min(height_, static_cast<int>(std::ceil(rect.maxY())));
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const double cx = x + 0.5, cy = y + 0.5;
            if (pointInRect({cx, cy}, rect) && inClip(cx, cy)) {
                *at(x, y) = c;
            }
        }
    }
}

void SimCanvas::strokeLine(Point from, Point to, double width, const Color& color) {
    const double half = width / 2.0;
    const double dx = to.x - from.x, dy = to.y - from.y;
    const double len2 = dx * dx + dy * dy;
    const int x0 = std::max(0, static_cast<int>(std::floor(std::min(from.x, to.x) - half)));
    const int y0 = std::max(0, static_cast<int>(std::floor(std::min(from.y, to.y) - half)));
    const int x1 = std::min(width_, static_cast<int>(std::ceil(std::max(from.x, to.x) + half)));
    const int y1 = std::min(height_, static_cast<int>(std::ceil(std::max(from.y, to.y) + half)));
    const double sa = std::clamp(color.alpha, 0.0, 1.0);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const double cx = x + 0.5, cy = y + 0.5;
            // Butt caps: only the part of the plane beside the segment is covered.
            const double t = len2 > 0.0 ? ((cx - from.x) * dx + (cy - from.y) * dy) / len2 : 0.0;
            if (t < 0.0 || t > 1.0 || !inClip(cx, cy)) {
                continue;
            }
            const double px = from.x + t * dx - cx, py = from.y + t * dy - cy;
            if (std::sqrt(px * px + py * py) > half) {
                continue;
            }
            // Source over, on unpremultiplied channels.
            Rgba& d = *at(x, y);
            const double da = d.a / 255.0;
            const double oa = sa + da * (1.0 - sa);
            const auto mix = [&](double s, std::uint8_t dst) {
                return oa > 0.0 ? (s * sa + dst / 255.0 * da * (1.0 - sa)) / oa : 0.0;
            };
            d = {channel(mix(color.red, d.r)), channel(mix(color.green, d.g)), channel(mix(color.blue, d.b)),
                 channel(oa)};
        }
    }
}

} // namespace dimwell
