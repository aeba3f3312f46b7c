#include "platform/x11/capture/X11WindowCapture.h"

#include "pattern/Luminance.h"
#include "platform/x11/XcbReply.h"

#include <xcb/composite.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace dimwell::x11 {

namespace {

/// GetImage replies are fetched in strips of about this many bytes, so a 5K
/// window never needs one 60 MB reply.
constexpr std::size_t kStripBytes = std::size_t(4) << 20;

/// The root's child that holds `window` (its frame under a reparenting window
/// manager); 0 when the window is gone.
xcb_window_t topLevelOf(xcb_connection_t* c, xcb_window_t window) {
    xcb_window_t w = window;
    for (int depth = 0; depth < 32; ++depth) {
        const auto tree = takeReply<xcb_query_tree_reply_t>(c, xcb_query_tree(c, w), xcb_query_tree_reply);
        if (!tree) {
            return 0;
        }
        if (tree->parent == XCB_NONE) {
            return 0;   // the root itself
        }
        if (tree->parent == tree->root) {
            return w;
        }
        w = tree->parent;
    }
    return 0;
}

const xcb_visualtype_t* findVisual(const xcb_setup_t* setup, xcb_visualid_t id) {
    for (auto screens = xcb_setup_roots_iterator(setup); screens.rem > 0; xcb_screen_next(&screens)) {
        for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem > 0; xcb_depth_next(&depths)) {
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0; xcb_visualtype_next(&visuals)) {
                if (visuals.data->visual_id == id) {
                    return visuals.data;
                }
            }
        }
    }
    return nullptr;
}

int bitsPerPixel(const xcb_setup_t* setup, std::uint8_t depth) {
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem > 0; xcb_format_next(&f)) {
        if (f.data->depth == depth) {
            return f.data->bits_per_pixel;
        }
    }
    return 0;
}

/// One colour channel of a TrueColor pixel, widened or narrowed to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    std::uint32_t shift = 0;
    std::uint32_t max = 0;

    explicit Channel(std::uint32_t m) : mask(m), shift(m ? std::uint32_t(std::countr_zero(m)) : 0), max(m >> shift) {}
    std::uint32_t level(std::uint32_t pixel) const {
        const std::uint32_t v = (pixel & mask) >> shift;
        return max == 255 ? v : (v * 255 + max / 2) / max;
    }
};

/// How the server lays out one pixel of the captured drawable.
struct PixelFormat {
    int bitsPerPixel = 0;
    bool swapBytes = false;   ///< the server's byte order is not ours
    Channel red{0}, green{0}, blue{0};

    bool byteChannels() const {
        return red.max == 255 && green.max == 255 && blue.max == 255 && red.shift % 8 == 0 &&
               green.shift % 8 == 0 && blue.shift % 8 == 0;
    }
};

std::optional<PixelFormat> pixelFormat(xcb_connection_t* c, xcb_visualid_t visualId, std::uint8_t depth) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const xcb_visualtype_t* visual = findVisual(setup, visualId);
    if (!visual || (visual->_class != XCB_VISUAL_CLASS_TRUE_COLOR && visual->_class != XCB_VISUAL_CLASS_DIRECT_COLOR)) {
        return std::nullopt;   // palette visuals would need the colormap; nothing uses them today
    }
    PixelFormat f;
    f.bitsPerPixel = bitsPerPixel(setup, depth);
    if (f.bitsPerPixel != 32 && f.bitsPerPixel != 16) {
        return std::nullopt;
    }
    const bool littleEndian = std::endian::native == std::endian::little;
    f.swapBytes = (setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) != littleEndian;
    f.red = Channel(visual->red_mask);
    f.green = Channel(visual->green_mask);
    f.blue = Channel(visual->blue_mask);
    if (f.red.max == 0 || f.green.max == 0 || f.blue.max == 0) {
        return std::nullopt;
    }
    return f;
}

std::uint32_t swapped32(std::uint32_t p) {
    return (p >> 24) | ((p >> 8) & 0xff00u) | ((p << 8) & 0xff0000u) | (p << 24);
}

/// Converts `rows` rows of a GetImage reply, the first of them row `topRow` of the
/// capture counted from the top, into the gray picture (whose first row is the
/// bottom), columns `left` onwards.
void grayRows(const std::uint8_t* data, std::size_t stride, std::int32_t rows, std::int32_t width, std::int32_t topRow,
              std::int32_t left, const PixelFormat& f, GrayBitmap& out) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width));
    const bool fast = f.bitsPerPixel == 32 && !f.swapBytes && f.byteChannels();
    for (std::int32_t r = 0; r < rows; ++r) {
        const std::uint8_t* src = data + std::size_t(r) * stride;
        std::uint8_t* dst = &out.at(left, out.pixelsHigh - 1 - (topRow + r));
        if (fast && reinterpret_cast<std::uintptr_t>(src) % alignof(std::uint32_t) == 0) {
            // Replies keep rows of 32-bit pixels aligned; read them where they are.
            grayRow(reinterpret_cast<const std::uint32_t*>(src), width,
                    ChannelShifts{f.red.shift, f.green.shift, f.blue.shift}, dst);
            continue;
        }
        if (f.bitsPerPixel == 32) {
            std::memcpy(pixels.data(), src, std::size_t(width) * 4);
            if (f.swapBytes) {
                for (auto& p : pixels) p = swapped32(p);
            }
        } else {
            for (std::int32_t x = 0; x < width; ++x) {
                std::uint16_t p = 0;
                std::memcpy(&p, src + 2 * std::size_t(x), 2);
                pixels[std::size_t(x)] = f.swapBytes ? std::uint16_t(p >> 8 | p << 8) : p;
            }
        }
        if (fast) {
            grayRow(pixels.data(), width, ChannelShifts{f.red.shift, f.green.shift, f.blue.shift}, dst);
        } else {
            for (std::int32_t x = 0; x < width; ++x) {
                const std::uint32_t p = pixels[std::size_t(x)];
                dst[x] = grayLevel(f.red.level(p), f.green.level(p), f.blue.level(p));
            }
        }
    }
}

/// Reads the rectangle (x, y, width, height) of `drawable` into the gray picture at
/// column `left`, row `top` (counted from the top). False on any error.
bool readInto(xcb_connection_t* c, xcb_drawable_t drawable, std::int16_t x, std::int16_t y, std::int32_t width,
              std::int32_t height, std::int32_t left, std::int32_t top, const PixelFormat& f, GrayBitmap& out) {
    const std::size_t rowBytes = std::size_t(width) * std::size_t(f.bitsPerPixel / 8);
    const std::int32_t strip = std::int32_t(std::clamp<std::size_t>(kStripBytes / std::max<std::size_t>(rowBytes, 1), 1, 65535));
    for (std::int32_t done = 0; done < height; done += strip) {
        const std::int32_t rows = std::min(strip, height - done);
        const auto image = takeReply<xcb_get_image_reply_t>(
            c,
            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, std::int16_t(x), std::int16_t(y + done),
                          std::uint16_t(width), std::uint16_t(rows), ~std::uint32_t(0)),
            xcb_get_image_reply);
        if (!image) {
            return false;
        }
        const std::size_t length = std::size_t(xcb_get_image_data_length(image.get()));
        const std::size_t stride = length / std::size_t(rows);
        if (stride < rowBytes) {
            return false;
        }
        grayRows(xcb_get_image_data(image.get()), stride, rows, width, top + done, left, f, out);
    }
    return true;
}

} // namespace

X11WindowCapture::X11WindowCapture(xcb_connection_t* connection, double pixelsPerPoint)
    : c_(connection), pixelsPerPoint_(pixelsPerPoint) {
    if (!c_) {
        return;
    }
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c_, &xcb_composite_id);
    if (ext && ext->present) {
        // NameWindowPixmap arrived with Composite 0.2.
        const auto version = takeReply<xcb_composite_query_version_reply_t>(
            c_, xcb_composite_query_version(c_, 0, 4), xcb_composite_query_version_reply);
        composite_ = version && (version->major_version > 0 || version->minor_version >= 2);
    }
}

std::optional<CapturedWindow> X11WindowCapture::captureGray(std::uint32_t windowNumber) {
    lastSource_ = Source::None;
    if (!c_ || windowNumber == 0) {
        return std::nullopt;
    }
    const xcb_window_t top = topLevelOf(c_, windowNumber);
    if (top == 0) {
        return std::nullopt;
    }
    const auto attributesCookie = xcb_get_window_attributes(c_, top);
    const auto geometryCookie = xcb_get_geometry(c_, top);
    const auto attributes = takeReply<xcb_get_window_attributes_reply_t>(c_, attributesCookie, xcb_get_window_attributes_reply);
    const auto geometry = takeReply<xcb_get_geometry_reply_t>(c_, geometryCookie, xcb_get_geometry_reply);
    if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
        attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT) {
        return std::nullopt;
    }
    const auto format = pixelFormat(c_, attributes->visual, geometry->depth);
    if (!format) {
        return std::nullopt;
    }
    const std::int32_t border = geometry->border_width;
    const std::int32_t width = geometry->width + 2 * border;
    const std::int32_t height = geometry->height + 2 * border;
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767) {
        return std::nullopt;
    }
    CapturedWindow captured{GrayBitmap(width, height), pixelsPerPoint_};

    if (composite_) {
        // Only a redirected window has a pixmap to name; otherwise BadMatch, and
        // the window is read in place below.
        const xcb_pixmap_t pixmap = xcb_generate_id(c_);
        if (requestSucceeded(c_, xcb_composite_name_window_pixmap_checked(c_, top, pixmap))) {
            // The pixmap holds the window with its border, from its outer corner.
            const bool ok = readInto(c_, pixmap, 0, 0, width, height, 0, 0, *format, captured.bitmap);
            requestSucceeded(c_, xcb_free_pixmap_checked(c_, pixmap));
            if (ok) {
                lastSource_ = Source::Composite;
                return captured;
            }
        }
    }

    // In place: GetImage of a window must stay on the screen, so the part of the
    // window beyond the root's edges is left black.
    const auto rootGeometry = takeReply<xcb_get_geometry_reply_t>(c_, xcb_get_geometry(c_, geometry->root), xcb_get_geometry_reply);
    const auto origin = takeReply<xcb_translate_coordinates_reply_t>(
        c_, xcb_translate_coordinates(c_, top, geometry->root, 0, 0), xcb_translate_coordinates_reply);
    if (!rootGeometry || !origin) {
        return std::nullopt;
    }
    const std::int32_t outerX = origin->dst_x - border;
    const std::int32_t outerY = origin->dst_y - border;
    const std::int32_t x0 = std::max(outerX, 0);
    const std::int32_t y0 = std::max(outerY, 0);
    const std::int32_t x1 = std::min(outerX + width, std::int32_t(rootGeometry->width));
    const std::int32_t y1 = std::min(outerY + height, std::int32_t(rootGeometry->height));
    if (x1 <= x0 || y1 <= y0) {
        return std::nullopt;
    }
    if (!readInto(c_, top, std::int16_t(x0 - origin->dst_x), std::int16_t(y0 - origin->dst_y), x1 - x0, y1 - y0,
                  x0 - outerX, y0 - outerY, *format, captured.bitmap)) {
        return std::nullopt;
    }
    lastSource_ = Source::Window;
    return captured;
}

} // namespace dimwell::x11
