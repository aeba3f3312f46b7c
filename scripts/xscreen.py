#!/usr/bin/python3
"""Screen pixels, the root background and probe windows of a local X server.

A thin layer over python-xlib and PIL for what the test desktop needs beyond the
command-line tools: reading pixels without a round trip through an image file,
painting the root background the way compositors look for it, and putting a
translucent (32-bit ARGB) window on screen.

Run as a program it shows one probe window until it is terminated:
    xscreen.py window --geometry 200x100+10+10 --rgba 0,0,0,204 [--title T]
It prints the window id (decimal) on a line of its own once the window is mapped.
"""
import argparse
import contextlib
import signal
import sys

import PIL.Image
import Xlib.display
import Xlib.error
import Xlib.Xatom
from Xlib import X
from Xlib.ext import shape


class XError(Exception):
    """A failed connection or an error the server answered a request with."""


class Image:
    """Screen pixels as 8-bit RGB: pixel(x, y) -> (r, g, b), crop, save_png."""

    def __init__(self, picture):
        self.picture = picture if picture.mode == "RGB" else picture.convert("RGB")
        self.width, self.height = self.picture.size
        self._pixels = self.picture.load()

    @classmethod
    def open(cls, path):
        with PIL.Image.open(path) as picture:
            return cls(picture.convert("RGB"))

    def pixel(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError(f"pixel ({x},{y}) outside {self.width}x{self.height}")
        return self._pixels[x, y]

    def crop(self, x, y, width, height):
        return Image(self.picture.crop((x, y, x + width, y + height)))

    def only(self, rects, outside=(0, 0, 0)):
        """A copy showing just the given (x, y, width, height) areas, the rest one colour."""
        keep = PIL.Image.new("RGB", self.picture.size, tuple(outside))
        for x, y, w, h in rects:
            keep.paste(self.picture.crop((x, y, x + w, y + h)), (x, y))
        return Image(keep)

    def save(self, path):
        """Written in the format the file name says (.png, .ppm, ...)."""
        self.picture.save(path)
        return path

    def save_png(self, path):
        self.picture.save(path, "PNG")
        return path


def _xid(value):
    """The id of a window python-xlib answers with (a resource, or X.NONE)."""
    return getattr(value, "id", value)


def _open(display):
    try:
        return Xlib.display.Display(display)
    except (Xlib.error.DisplayError, OSError) as e:
        raise XError(f"cannot connect to display {display}: {e}") from e


@contextlib.contextmanager
def connect(display):
    """A python-xlib display; every failure inside comes out as XError."""
    conn = _open(display)
    try:
        yield conn
    except (Xlib.error.XError, Xlib.error.ConnectionClosedError) as e:
        raise XError(f"display {display}: {e}") from e
    finally:
        conn.close()


class Screen:
    """Pixels read through one connection kept open: tests poll single pixels, and
    connecting costs several times what the read does."""

    def __init__(self, display):
        self.display = display
        self._conn = None

    def capture(self, x, y, width, height):
        if self._conn is None:
            self._conn = _open(self.display)
        try:
            return capture(self._conn, x, y, width, height)
        except (Xlib.error.XError, Xlib.error.ConnectionClosedError) as e:
            self.close()
            raise XError(f"display {self.display}: {e}") from e

    def close(self):
        if self._conn is not None:
            self._conn.close()
            self._conn = None


def cardinal(conn, window, name):
    """First 32-bit value of a property (window, pixmap, cardinal), or None."""
    prop = window.get_full_property(conn.intern_atom(name), X.AnyPropertyType)
    return int(prop.value[0]) if prop is not None and prop.format == 32 and len(prop.value) else None


def selection_owner(conn, name):
    return _xid(conn.get_selection_owner(conn.intern_atom(name)))


def parent(conn, window_id):
    return _xid(conn.create_resource_object("window", window_id).query_tree().parent)


def capture(conn, x, y, width, height):
    """Pixels of an area of the root window as an Image.

    Read in bands of about a megabyte: python-xlib gathers a reply by joining what
    each read brings, which grows with the square of a large reply's size.
    """
    rows = max(1, (1 << 20) // (4 * max(1, width)))
    bands = [conn.screen().root.get_image(x, y + top, width, min(rows, height - top), X.ZPixmap, 0xFFFFFFFF)
             for top in range(0, height, rows)]
    reply = bands[0]
    bpp = next((f.bits_per_pixel for f in conn.display.info.pixmap_formats if f.depth == reply.depth), None)
    visual = next((v for d in conn.screen().allowed_depths for v in d.visuals
                   if v.visual_id == (reply.visual or conn.screen().root_visual)), None)
    masks = visual and (visual.red_mask, visual.green_mask, visual.blue_mask)
    if bpp != 32 or conn.display.info.image_byte_order != X.LSBFirst or masks != (0xFF0000, 0xFF00, 0xFF):
        raise XError(f"unsupported pixel format: depth {reply.depth}, {bpp} bits per pixel")
    data = b"".join(band.data for band in bands)
    return Image(PIL.Image.frombytes("RGB", (width, height), data, "raw", "BGRX"))


def set_root_background(display, rgb):
    """Paint the root window one colour, as background setters do.

    Compositors draw the root from the pixmap named in _XROOTPMAP_ID, not from the
    root window's background pixel, so a plain `xsetroot -solid` is ignored under
    picom. The pixmap must outlive the connection that made it: that client's
    resources are kept (RetainPermanent), and the pixmap of an earlier call is freed
    first, which is why each call needs a connection of its own.
    """
    with connect(display) as conn:
        screen = conn.screen()
        old = cardinal(conn, screen.root, "_XSETROOT_ID")
        if old:
            conn.create_resource_object("pixmap", old).kill_client()
        r, g, b = rgb
        pixmap = screen.root.create_pixmap(16, 16, screen.root_depth)
        gc = pixmap.create_gc(foreground=(r << 16) | (g << 8) | b)
        pixmap.fill_rectangle(gc, 0, 0, 16, 16)
        screen.root.change_attributes(background_pixmap=pixmap)
        screen.root.clear_area()
        for name in ("_XROOTPMAP_ID", "ESETROOT_PMAP_ID", "_XSETROOT_ID"):
            screen.root.change_property(conn.intern_atom(name), Xlib.Xatom.PIXMAP, 32, [pixmap.id])
        conn.set_close_down_mode(X.RetainPermanent)
        conn.sync()


def create_window(conn, x, y, width, height, title=None):
    """An ordinary top-level window, for the window manager to frame."""
    window = conn.screen().root.create_window(x, y, width, height, 0, X.CopyFromParent,
                                              background_pixel=conn.screen().black_pixel)
    if title:
        window.set_wm_name(title)
    return window


def show_argb_window(conn, x, y, width, height, rgba, title=None):
    """Map a frameless, click-through, override-redirect window of one translucent colour.

    The background pixel is premultiplied ARGB, which is what a compositor blends.
    """
    r, g, b, a = rgba
    visual = next((v.visual_id for d in conn.screen().allowed_depths if d.depth == 32 for v in d.visuals
                   if v.visual_class == X.TrueColor
                   and (v.red_mask, v.green_mask, v.blue_mask) == (0xFF0000, 0xFF00, 0xFF)), None)
    if visual is None:
        raise XError("the server offers no 32-bit TrueColor visual")
    root = conn.screen().root
    window = root.create_window(
        x, y, width, height, 0, 32, X.InputOutput, visual,
        background_pixel=(a << 24) | ((r * a // 255) << 16) | ((g * a // 255) << 8) | (b * a // 255),
        border_pixel=0, override_redirect=True, colormap=root.create_colormap(visual, X.AllocNone))
    if title:
        window.set_wm_name(title)
    if conn.has_extension("SHAPE"):
        window.shape_rectangles(shape.SO.Set, shape.SK.Input, X.Unsorted, 0, 0, [])  # clicks pass through
    window.map()
    conn.sync()
    return window


def _parse_geometry(text):
    size, _, rest = text.partition("+")
    width, height = (int(v) for v in size.split("x"))
    x, y = (int(v) for v in rest.split("+")) if rest else (0, 0)
    return x, y, width, height


def _show_window(args):
    x, y, width, height = _parse_geometry(args.geometry)
    rgba = tuple(int(v) for v in args.rgba.split(","))
    if len(rgba) != 4 or not all(0 <= v <= 255 for v in rgba):
        raise XError(f"--rgba wants four values 0..255, not {args.rgba!r}")
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    with connect(None) as conn:
        window = show_argb_window(conn, x, y, width, height, rgba, args.title)
        print(window.id, flush=True)
        try:
            while True:  # keep the window until terminated or the server goes away
                conn.next_event()
        except Xlib.error.ConnectionClosedError:
            return 0


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    sub = parser.add_subparsers(dest="command", required=True)
    window = sub.add_parser("window", help="show a translucent probe window until terminated")
    window.add_argument("--geometry", required=True, help="WxH+X+Y")
    window.add_argument("--rgba", default="0,0,0,204", help="straight (not premultiplied) R,G,B,A")
    window.add_argument("--title")
    args = parser.parse_args(argv)
    try:
        return _show_window(args)
    except (XError, ValueError) as e:
        print(f"xscreen: {e}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
