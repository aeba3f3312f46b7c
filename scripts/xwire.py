#!/usr/bin/env python3
"""A very small X11 protocol client, standard library only.

The test desktop needs a handful of things no command-line tool does well:
reading screen pixels without a round trip through an image file, painting the
root background the way compositors look for it, and putting a translucent
(32-bit ARGB) window on screen. This speaks just those requests over the local
socket of a server started without authorisation.

Run as a program it shows one probe window until it is terminated:
    xwire.py window --geometry 200x100+10+10 --rgba 0,0,0,204 [--title T]
It prints the window id (decimal) on a line of its own once the window is mapped.
"""
import argparse
import os
import select
import signal
import socket
import struct
import sys
import zlib

# Core request opcodes used here.
CREATE_WINDOW = 1
CHANGE_WINDOW_ATTRIBUTES = 2
GET_WINDOW_ATTRIBUTES = 3
DESTROY_WINDOW = 4
MAP_WINDOW = 8
QUERY_TREE = 15
INTERN_ATOM = 16
CHANGE_PROPERTY = 18
GET_PROPERTY = 20
GET_SELECTION_OWNER = 23
GET_INPUT_FOCUS = 43
CREATE_PIXMAP = 53
CREATE_GC = 55
CLEAR_AREA = 61
POLY_FILL_RECTANGLE = 70
GET_IMAGE = 73
CREATE_COLORMAP = 78
QUERY_EXTENSION = 98
SET_CLOSE_DOWN_MODE = 112
KILL_CLIENT = 113

ATOM_PIXMAP = 20
ATOM_STRING = 31
ATOM_WM_NAME = 39

ERROR_NAMES = {1: "Request", 2: "Value", 3: "Window", 4: "Pixmap", 5: "Atom", 6: "Cursor",
               7: "Font", 8: "Match", 9: "Drawable", 10: "Access", 11: "Alloc", 12: "Colormap",
               13: "GContext", 14: "IDChoice", 15: "Name", 16: "Length", 17: "Implementation"}


class XError(Exception):
    """A failed connection or an error the server answered a request with."""


def _pad(n):
    return (4 - n % 4) % 4


def display_socket(display):
    """Path of the local socket for a display name such as ":3" or ":3.0"."""
    if not display or ":" not in display:
        raise XError(f"cannot use display {display!r}")
    host, _, rest = display.rpartition(":")
    if host not in ("", "unix"):
        raise XError(f"only local displays are supported, not {display!r}")
    number = rest.split(".")[0]
    if not number.isdigit():
        raise XError(f"cannot use display {display!r}")
    return f"/tmp/.X11-unix/X{number}"


class Image:
    """A block of screen pixels read back from the server, as 8-bit RGB."""

    def __init__(self, width, height, rgb):
        self.width = width
        self.height = height
        self.rgb = rgb  # bytes, row-major, 3 per pixel

    def pixel(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError(f"pixel ({x},{y}) outside {self.width}x{self.height}")
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def only(self, rects, outside=(0, 0, 0)):
        """A copy showing just the given (x, y, width, height) areas, the rest one colour."""
        keep = bytearray(bytes(outside) * (self.width * self.height))
        for x, y, w, h in rects:
            x0, x1 = max(0, x), min(self.width, x + w)
            for row in range(max(0, y), min(self.height, y + h)):
                start, end = (row * self.width + x0) * 3, (row * self.width + x1) * 3
                keep[start:end] = self.rgb[start:end]
        return Image(self.width, self.height, bytes(keep))

    def crop(self, x, y, width, height):
        rows = []
        for row in range(y, y + height):
            start = (row * self.width + x) * 3
            rows.append(self.rgb[start:start + width * 3])
        return Image(width, height, b"".join(rows))

    def save_png(self, path):
        stride = self.width * 3
        raw = b"".join(b"\x00" + self.rgb[r * stride:(r + 1) * stride] for r in range(self.height))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                    + chunk(b"IDAT", zlib.compress(raw, 3)) + chunk(b"IEND", b""))
        return path

    def save_ppm(self, path):
        with open(path, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (self.width, self.height) + self.rgb)
        return path


def _mask_shift(mask):
    shift = 0
    while mask and not (mask >> shift) & 1:
        shift += 1
    return shift


class Connection:
    """One connection to a local X server."""

    def __init__(self, display=None, timeout=10.0):
        display = display or os.environ.get("DISPLAY", "")
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.settimeout(timeout)
        try:
            self.sock.connect(display_socket(display))
            self._setup()
        except OSError as e:
            self.sock.close()
            raise XError(f"cannot connect to display {display}: {e}") from e
        except XError:
            self.sock.close()
            raise
        self.sequence = 0
        self.next_id = 0
        self.extensions = {}

    def close(self):
        self.sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # --- wire -------------------------------------------------------------------------

    def _recv(self, n):
        data = bytearray()
        while len(data) < n:
            part = self.sock.recv(n - len(data))
            if not part:
                raise XError("the X server closed the connection")
            data += part
        return bytes(data)

    def _setup(self):
        self.sock.sendall(struct.pack("<BxHHHHxx", 0x6C, 11, 0, 0, 0))
        head = self._recv(8)
        status, reason_len, _, _, length = struct.unpack("<BBHHH", head)
        body = self._recv(length * 4)
        if status != 1:
            reason = body[:reason_len].decode("latin-1", "replace").strip()
            raise XError(f"the X server refused the connection: {reason or 'no reason given'}")
        (_, self.id_base, self.id_mask, _, vendor_len, _, n_screens, n_formats,
         self.image_byte_order, _, _, _, _, _) = struct.unpack_from("<IIIIHHBBBBBBBB4x", body, 0)
        off = 32 + vendor_len + _pad(vendor_len)
        self.formats = {}
        for _ in range(n_formats):
            depth, bpp, scanline_pad = struct.unpack_from("<BBB5x", body, off)
            self.formats[depth] = (bpp, scanline_pad)
            off += 8
        (self.root, self.default_colormap, _, _, _, self.width, self.height, _, _, _, _,
         self.root_visual, _, _, self.root_depth, n_depths) = struct.unpack_from("<IIIIIHHHHHHIBBBB", body, off)
        off += 40
        self.visuals = {}  # visual id -> (depth, class, red, green, blue masks)
        for _ in range(n_depths):
            depth, n_visuals = struct.unpack_from("<BxH4x", body, off)
            off += 8
            for _ in range(n_visuals):
                vid, vclass, _, _, red, green, blue = struct.unpack_from("<IBBHIII4x", body, off)
                self.visuals[vid] = (depth, vclass, red, green, blue)
                off += 24
        del n_screens  # only the first screen is used

    def new_id(self):
        if self.next_id > self.id_mask:
            raise XError("out of resource ids")
        rid = self.id_base | self.next_id
        self.next_id += 1
        return rid

    def send(self, opcode, data_byte, body=b""):
        body += b"\x00" * _pad(len(body))
        length = 1 + len(body) // 4
        self.sock.sendall(struct.pack("<BBH", opcode, data_byte, length) + body)
        self.sequence = (self.sequence + 1) & 0xFFFF
        return self.sequence

    def _read_packet(self):
        head = self._recv(32)
        kind = head[0]
        if kind == 1:
            extra = struct.unpack_from("<I", head, 4)[0]
            return head + (self._recv(extra * 4) if extra else b"")
        return head

    @staticmethod
    def _error_text(packet):
        code, seq, value, minor, major = struct.unpack_from("<xBHIHB", packet, 0)
        return f"X error {ERROR_NAMES.get(code, code)} (request {major}.{minor}, value 0x{value:x})"

    def reply(self, sequence):
        """Wait for the reply to a request; errors of earlier requests are raised too."""
        while True:
            packet = self._read_packet()
            if packet[0] == 0:
                raise XError(self._error_text(packet))
            if packet[0] == 1 and struct.unpack_from("<H", packet, 2)[0] == sequence:
                return packet
            # Events and replies of other requests are of no interest here.

    def sync(self):
        """Round trip: raises the first error of any request sent so far."""
        self.reply(self.send(GET_INPUT_FOCUS, 0))

    # --- requests ---------------------------------------------------------------------

    def intern_atom(self, name, only_if_exists=False):
        raw = name.encode()
        seq = self.send(INTERN_ATOM, int(only_if_exists), struct.pack("<H2x", len(raw)) + raw)
        return struct.unpack_from("<I", self.reply(seq), 8)[0]

    def get_property(self, window, prop, delete=False, max_len=1 << 20):
        """(type atom, format, data bytes) of a property, or None when it is absent."""
        if isinstance(prop, str):
            prop = self.intern_atom(prop)
        seq = self.send(GET_PROPERTY, int(delete), struct.pack("<IIIII", window, prop, 0, 0, max_len))
        packet = self.reply(seq)
        fmt = packet[1]
        ptype, _, n_items = struct.unpack_from("<III", packet, 8)
        if ptype == 0:
            return None
        return ptype, fmt, packet[32:32 + n_items * (fmt // 8)]

    def get_cardinal(self, window, prop):
        """First 32-bit value of a property (window, pixmap, cardinal), or None."""
        value = self.get_property(window, prop)
        if value is None or value[1] != 32 or len(value[2]) < 4:
            return None
        return struct.unpack_from("<I", value[2], 0)[0]

    def change_property(self, window, prop, ptype, fmt, data, n_items):
        if isinstance(prop, str):
            prop = self.intern_atom(prop)
        body = struct.pack("<IIIB3xI", window, prop, ptype, fmt, n_items) + data
        self.send(CHANGE_PROPERTY, 0, body)

    def selection_owner(self, selection):
        if isinstance(selection, str):
            selection = self.intern_atom(selection)
        return struct.unpack_from("<I", self.reply(self.send(GET_SELECTION_OWNER, 0, struct.pack("<I", selection))), 8)[0]

    def extension_opcode(self, name):
        if name not in self.extensions:
            raw = name.encode()
            packet = self.reply(self.send(QUERY_EXTENSION, 0, struct.pack("<H2x", len(raw)) + raw))
            present, major = packet[8], packet[9]
            self.extensions[name] = major if present else None
        return self.extensions[name]

    def get_image(self, x, y, width, height, drawable=None):
        """Pixels of an area of a drawable (the root window by default) as an Image."""
        drawable = drawable or self.root
        seq = self.send(GET_IMAGE, 2, struct.pack("<IhhHHI", drawable, x, y, width, height, 0xFFFFFFFF))
        packet = self.reply(seq)
        depth = packet[1]
        visual = struct.unpack_from("<I", packet, 8)[0] or self.root_visual
        data = packet[32:]
        bpp, scanline_pad = self.formats[depth]
        if bpp != 32 or self.image_byte_order != 0:
            raise XError(f"unsupported pixel format: {bpp} bits per pixel, byte order {self.image_byte_order}")
        _, _, red, green, blue = self.visuals.get(visual, self.visuals[self.root_visual])
        n = width * height
        data = data[:n * 4]
        rgb = bytearray(n * 3)
        if (red, green, blue) == (0xFF0000, 0xFF00, 0xFF):
            rgb[0::3] = data[2::4]
            rgb[1::3] = data[1::4]
            rgb[2::3] = data[0::4]
        else:
            rs, gs, bs = _mask_shift(red), _mask_shift(green), _mask_shift(blue)
            for i, (p,) in enumerate(struct.iter_unpack("<I", data)):
                rgb[i * 3] = (p & red) >> rs
                rgb[i * 3 + 1] = (p & green) >> gs
                rgb[i * 3 + 2] = (p & blue) >> bs
        return Image(width, height, bytes(rgb))

    def is_viewable(self, window):
        packet = self.reply(self.send(GET_WINDOW_ATTRIBUTES, 0, struct.pack("<I", window)))
        return packet[26] == 2  # map state IsViewable

    def parent(self, window):
        return struct.unpack_from("<I", self.reply(self.send(QUERY_TREE, 0, struct.pack("<I", window))), 12)[0]

    def create_window(self, x, y, width, height, title=None):
        """An ordinary top-level window, for the window manager to frame."""
        window = self.new_id()
        self.send(CREATE_WINDOW, 0, struct.pack("<IIhhHHHHIII", window, self.root, x, y, width, height,
                                                0, 1, 0, 0x2, 0))
        if title:
            raw = title.encode()
            self.change_property(window, ATOM_WM_NAME, ATOM_STRING, 8, raw, len(raw))
        return window

    def map_window(self, window):
        self.send(MAP_WINDOW, 0, struct.pack("<I", window))

    def destroy_window(self, window):
        self.send(DESTROY_WINDOW, 0, struct.pack("<I", window))
        self.sync()

    def argb_visual(self):
        for vid, (depth, vclass, red, green, blue) in self.visuals.items():
            if depth == 32 and vclass == 4 and (red, green, blue) == (0xFF0000, 0xFF00, 0xFF):
                return vid
        raise XError("the server offers no 32-bit TrueColor visual")

    # --- what the desktop uses --------------------------------------------------------

    def create_argb_window(self, x, y, width, height, rgba, title=None, click_through=True):
        """Map a frameless, override-redirect window filled with a translucent colour.

        The background pixel is premultiplied ARGB, which is what a compositor blends.
        """
        r, g, b, a = rgba
        pixel = (a << 24) | ((r * a // 255) << 16) | ((g * a // 255) << 8) | (b * a // 255)
        visual = self.argb_visual()
        colormap, window = self.new_id(), self.new_id()
        self.send(CREATE_COLORMAP, 0, struct.pack("<III", colormap, self.root, visual))
        # value mask: background pixel, border pixel, override redirect, colormap
        values = struct.pack("<IIIII", 0x2 | 0x8 | 0x200 | 0x2000, pixel, 0, 1, colormap)
        self.send(CREATE_WINDOW, 32, struct.pack("<IIhhHHHHI", window, self.root, x, y, width, height,
                                                 0, 1, visual) + values)
        if title:
            raw = title.encode()
            self.change_property(window, ATOM_WM_NAME, ATOM_STRING, 8, raw, len(raw))
        if click_through:
            shape = self.extension_opcode("SHAPE")
            if shape is not None:
                # ShapeRectangles, operation Set, kind Input, no rectangles: clicks pass through.
                self.send(shape, 1, struct.pack("<BBBxIhh", 0, 2, 0, window, 0, 0))
        self.send(MAP_WINDOW, 0, struct.pack("<I", window))
        self.sync()
        return window


def set_root_background(display, rgb):
    """Paint the root window one colour, as background setters do.

    Compositors draw the root from the pixmap named in _XROOTPMAP_ID, not from the
    root window's background pixel, so a plain `xsetroot -solid` is ignored under
    picom. The pixmap must outlive the connection that made it: that client's
    resources are kept (RetainPermanent), and the pixmap of an earlier call is freed
    first, which is why each call needs a connection of its own.
    """
    with Connection(display) as conn:
        old = conn.get_cardinal(conn.root, "_XSETROOT_ID")
        if old:
            conn.send(KILL_CLIENT, 0, struct.pack("<I", old))
        r, g, b = rgb
        pixmap, gc = conn.new_id(), conn.new_id()
        conn.send(CREATE_PIXMAP, conn.root_depth, struct.pack("<IIHH", pixmap, conn.root, 16, 16))
        conn.send(CREATE_GC, 0, struct.pack("<IIII", gc, pixmap, 0x4, (r << 16) | (g << 8) | b))
        conn.send(POLY_FILL_RECTANGLE, 0, struct.pack("<IIhhHH", pixmap, gc, 0, 0, 16, 16))
        conn.send(CHANGE_WINDOW_ATTRIBUTES, 0, struct.pack("<III", conn.root, 0x1, pixmap))
        conn.send(CLEAR_AREA, 0, struct.pack("<IhhHH", conn.root, 0, 0, 0, 0))
        for name in ("_XROOTPMAP_ID", "ESETROOT_PMAP_ID", "_XSETROOT_ID"):
            conn.change_property(conn.root, name, ATOM_PIXMAP, 32, struct.pack("<I", pixmap), 1)
        conn.send(SET_CLOSE_DOWN_MODE, 1)  # RetainPermanent
        conn.sync()


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
    with Connection(timeout=10) as conn:
        window = conn.create_argb_window(x, y, width, height, rgba, args.title)
        print(window, flush=True)
        conn.sock.settimeout(None)
        while True:  # keep the window until terminated or the server goes away
            select.select([conn.sock], [], [])
            if not conn.sock.recv(4096):
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
    except XError as e:
        print(f"xwire: {e}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
