#!/usr/bin/env python3
"""Draws Dimwell's pictures: the two status-area images and the launcher icon
(scalable, and at each size of icons/).

    make-icons.py [RESOURCES_DIR]

The mark is a veil with a clear hole: a rounded frame whose off-centre window
shows what lies beneath. The status images are monochrome and drawn on a grid of
16 units (3 px at 48 px), so that scaled to 16 or 24 px every edge falls on a
pixel. Each has an outline in the opposite shade, so it reads on light and dark
panels alike: statusicon.png is light with a dark outline, statusicon_alt.png (the
highlighted state, while the menu is open) the reverse. Standard library only.
"""
import os
import struct
import sys
import zlib

SIZE = 48
UNIT = SIZE / 16
SUPERSAMPLE = 4


def rounded_rect(x0, y0, x1, y1, r):
    """Inside test for a rounded rectangle, in pixels."""
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def units(x0, y0, x1, y1, r=0.0):
    return rounded_rect(x0 * UNIT, y0 * UNIT, x1 * UNIT, y1 * UNIT, r * UNIT)


def render(layers, size=SIZE):
    """layers: (shape, (r, g, b, a)) painted in order; a None colour clears."""
    pixels = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0   # premultiplied
            for shape, colour in layers:
                cover = sum(shape(px + (i + 0.5) / n, py + (j + 0.5) / n) for i in range(n) for j in range(n)) / (n * n)
                if cover == 0:
                    continue
                if colour is None:
                    r, g, b, a = (v * (1 - cover) for v in (r, g, b, a))
                    continue
                cr, cg, cb, ca = colour
                k = ca * cover
                r, g, b, a = cr * k + r * (1 - k), cg * k + g * (1 - k), cb * k + b * (1 - k), k + a * (1 - k)
            if a > 0:
                row.append((round(r / a), round(g / a), round(b / a), round(a * 255)))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def write_png(path, pixels):
    height, width = len(pixels), len(pixels[0])
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def status_mark(fill, outline):
    return [
        (units(1, 3, 15, 13, 2), outline),    # outline of the veil
        (units(2, 4, 14, 12, 1), fill),       # the veil
        (units(7, 5, 13, 11), outline),       # rim of the hole
        (units(8, 6, 12, 10), None),          # the hole: the panel shows through
    ]


LIGHT = (242, 242, 242, 1.0)
DARK = (24, 24, 24, 1.0)

# The launcher icon: a dimmed screen with one bright, framed region.
APP_BACKGROUND = "#2e3239"
APP_EDGE = "#5a616c"   # keeps the screen apart from dark backgrounds
APP_HOLE = "#f4f1e6"
APP_RIM = "#f5c400"
APP_SVG = f"""<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48" viewBox="0 0 48 48">
  <rect x="3" y="6" width="42" height="36" rx="6" fill="{APP_EDGE}"/>
  <rect x="4.5" y="7.5" width="39" height="33" rx="4.5" fill="{APP_BACKGROUND}"/>
  <rect x="19.5" y="13.5" width="21" height="21" rx="1.5" fill="{APP_RIM}"/>
  <rect x="21" y="15" width="18" height="18" fill="{APP_HOLE}"/>
</svg>
"""


def hex_rgba(text):
    return (int(text[1:3], 16), int(text[3:5], 16), int(text[5:7], 16), 1.0)


def app_icon():
    return [
        (rounded_rect(3, 6, 45, 42, 6), hex_rgba(APP_EDGE)),
        (rounded_rect(4.5, 7.5, 43.5, 40.5, 4.5), hex_rgba(APP_BACKGROUND)),
        (rounded_rect(19.5, 13.5, 40.5, 34.5, 1.5), hex_rgba(APP_RIM)),
        (rounded_rect(21, 15, 39, 33, 0), hex_rgba(APP_HOLE)),
    ]


# The launcher icon at the sizes desktops ask the hicolor theme for.
ICON_SIZES = (16, 22, 24, 32, 64, 128, 256)   # 48 is dimwell.png


def scaled(layers, size):
    """The 48-px drawing at another size."""
    k = SIZE / size
    return [((lambda shape: lambda x, y: shape(x * k, y * k))(shape), colour) for shape, colour in layers]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                             "..", "resources")
    write_png(os.path.join(out, "statusicon.png"), render(status_mark(LIGHT, DARK[:3] + (0.85,))))
    write_png(os.path.join(out, "statusicon_alt.png"), render(status_mark(DARK, LIGHT[:3] + (0.9,))))
    write_png(os.path.join(out, "dimwell.png"), render(app_icon()))
    with open(os.path.join(out, "dimwell.svg"), "w") as f:
        f.write(APP_SVG)
    os.makedirs(os.path.join(out, "icons"), exist_ok=True)
    for size in ICON_SIZES:
        write_png(os.path.join(out, "icons", f"{size}x{size}.png"), render(scaled(app_icon(), size), size))


if __name__ == "__main__":
    main()
