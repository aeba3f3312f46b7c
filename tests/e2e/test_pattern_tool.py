#!/usr/bin/env python3
"""dimwell-pattern on saved pictures: gray and colour files, the picture's
bottom row as row 0, and one-line
errors with a failing status for bad files and arguments."""
import os
import struct
import subprocess
import tempfile
import unittest
import zlib

BUILD_DIR = os.environ.get("DIMWELL_BUILD_DIR", os.path.join(os.getcwd()))
TOOL = os.path.join(BUILD_DIR, "bin", "dimwell-pattern")


def framed(width=100, height=100, ground=200, ink=0, rows=(10, 80), cols=(20, 80)):
    """Pixel rows top first: full lines across at `rows` (counted from the top)
    and down at `cols`, as gray levels."""
    picture = [[ground] * width for _ in range(height)]
    for r in rows:
        picture[r] = [ink] * width
    for c in cols:
        for r in range(height):
            picture[r][c] = ink
    return picture


def write_pgm(path, picture):
    height, width = len(picture), len(picture[0])
    with open(path, "wb") as f:
        f.write(b"P5\n%d %d\n255\n" % (width, height))
        f.write(bytes(v for row in picture for v in row))


def write_png(path, pixels, channels):
    """`pixels`: rows top first of `channels`-tuples (1 gray, 3 RGB, 4 RGBA), 8 bits."""
    colour_type = {1: 0, 3: 2, 4: 6}[channels]
    height, width = len(pixels), len(pixels[0])
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw)))
        f.write(chunk(b"IEND", b""))


def run(*args):
    return subprocess.run([TOOL, *args], capture_output=True, text=True, timeout=30)


class Detection(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.pgm = os.path.join(cls.dir.name, "framed.pgm")
        write_pgm(cls.pgm, framed())

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def region(self, path, x, y):
        result = run(path, x, y)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        return tuple(int(v) for v in result.stdout.split())

    def test_bottom_row_is_row_zero(self):
        # Lines 10 and 80 rows below the top are rows 89 and 19 from the bottom.
        self.assertEqual(self.region(self.pgm, "50", "50"), (21, 20, 59, 69))
        self.assertEqual(self.region(self.pgm, "50", "5"), (21, 0, 59, 19))
        self.assertEqual(self.region(self.pgm, "50", "95"), (21, 90, 59, 10))

    def test_colour_pictures_are_read_as_luma(self):
        white, red = (255, 255, 255), (255, 0, 0)
        rgb = [[red if v == 0 else white for v in row] for row in framed()]
        rgba = [[px + (255,) for px in row] for row in rgb]
        gray = [[(v,) for v in row] for row in framed()]
        for name, pixels, channels in (("rgb.png", rgb, 3), ("rgba.png", rgba, 4), ("gray.png", gray, 1)):
            with self.subTest(name):
                path = os.path.join(self.dir.name, name)
                write_png(path, pixels, channels)
                self.assertEqual(self.region(path, "50", "50"), (21, 20, 59, 69))


class Errors(unittest.TestCase):
    def assertFailsWithOneLine(self, result, status):
        self.assertEqual(result.returncode, status)
        self.assertEqual(result.stdout, "")
        self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)

    def test_bad_arguments(self):
        with tempfile.TemporaryDirectory() as d:
            pgm = os.path.join(d, "p.pgm")
            write_pgm(pgm, framed())
            for args in ((), (pgm,), (pgm, "1"), (pgm, "1", "2", "3"), (pgm, "x", "2"), (pgm, "1", ""),
                         (pgm, "nan", "2"), (pgm, "1", "inf"), (pgm, "3px", "2")):
                with self.subTest(args=args):
                    self.assertFailsWithOneLine(run(*args), 2)

    def test_unreadable_pictures(self):
        with tempfile.TemporaryDirectory() as d:
            garbage = os.path.join(d, "garbage.png")
            with open(garbage, "wb") as f:
                f.write(b"\x89PNG\r\n\x1a\nnot really")
            truncated = os.path.join(d, "truncated.pgm")
            with open(truncated, "wb") as f:
                f.write(b"P5\n100 100\n255\n" + bytes(10))
            for path in (os.path.join(d, "missing.pgm"), garbage, truncated, d):
                with self.subTest(path=os.path.basename(path)):
                    self.assertFailsWithOneLine(run(path, "1", "1"), 1)


if __name__ == "__main__":
    unittest.main()
