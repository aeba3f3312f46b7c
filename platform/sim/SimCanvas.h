#pragma once
// A real RGBA pixel buffer behind the canvas port, so drawing rules can be checked
// pixel by pixel. Window-local coordinates, origin bottom-left, y up; pixel (i, j)
// covers [i, i+1) x [j, j+1) and is painted when its centre is covered.

#include "platform/ports/MaskSurface.h"

#include <cstdint>
#include <vector>

namespace dimwell {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

/// A colour as the buffer stores it (0..255, rounded).
Rgba toRgba(const Color& c);

class SimCanvas : public Canvas {
public:
    SimCanvas(int width, int height)
        : width_(width), height_(height), clip_{0.0, 0.0, static_cast<double>(width), static_cast<double>(height)} {}

    void fillCopy(const Rect& rect, const Color& color) override;
    void strokeLine(Point from, Point to, double width, const Color& color) override;

    /// Drawing outside `clip` leaves pixels alone, as a redraw of that area would.
    void setClip(const Rect& clip) { clip_ = clip; }
    Rgba pixel(int x, int y) const;
    int width() const { return width_; }
    int height() const { return height_; }
    /// Pixels whose colour equals `c`.
    long countPixels(const Rgba& c) const;

private:
    Rgba* at(int x, int y);
    bool inClip(double cx, double cy) const;

    int width_;
    int height_;
    Rect clip_;
    std::vector<Rgba> pixels_;   ///< allocated at the first paint; rows bottom-up
};

} // namespace dimwell
