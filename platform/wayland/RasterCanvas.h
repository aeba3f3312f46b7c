#pragma once
// A Canvas over premultiplied ARGB8888 pixels (a wl_shm buffer): copy fills and
// axis-aligned lines blended over, the two things a mask view draws. Window-local
// points, origin bottom-left, times an integer scale; everything is clipped to
// one area.

#include "platform/ports/MaskSurface.h"

#include <cstdint>

namespace dimwell::wayland {

struct PixelRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  ///< top-left origin, x1/y1 exclusive
    bool empty() const { return x1 <= x0 || y1 <= y0; }
};

class RasterCanvas : public Canvas {
public:
    /// `pixels`: rows of `stride` pixels, `width` × `height` of them, for a view
    /// `height / scale` points high.
    RasterCanvas(std::uint32_t* pixels, int width, int height, int stride, int scale);

    /// Only pixels inside `area` (window-local points) change from now on.
    void clipTo(const Rect& area);
    /// The pixels `area` (window-local points) covers, top-left origin, within the buffer.
    PixelRect toPixels(const Rect& area) const;

    void fillCopy(const Rect& rect, const Color& color) override;
    /// Oblique lines are not drawn: mask views draw horizontal and vertical ones only.
    void strokeLine(Point from, Point to, double width, const Color& color) override;

private:
    PixelRect clipped(const Rect& area) const;

    std::uint32_t* pixels_;
    int width_;
    int height_;
    int stride_;
    int scale_;
    PixelRect clip_;
};

} // namespace dimwell::wayland
