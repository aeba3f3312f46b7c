#!/usr/bin/env python3
"""The Wayland masks on a real headless sway: veil and hole pixels at scale 1 and
2, input regions (clicks in the hole reach the window below, clicks on the veil
do not), a mask for an output created while the masks are up, and none left for
an output that went away. Exits 77
(skipped) when sway cannot start on this machine."""
import os
import select
import subprocess
import sys
import time
import unittest

SOURCE = os.environ.get("DIMWELL_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
BIN = os.path.join(os.environ.get("DIMWELL_BUILD_DIR", "build"), "bin")
sys.path.insert(0, os.path.join(SOURCE, "scripts"))
import waydesktop  # noqa: E402

GRAY = (128, 128, 128)
PROBE = (64, 160, 64)
OPACITY = 0.8
PROBE_RECT = (100, 100, 200, 200)        # on HEADLESS-1, under hole A's top-left corner
HOLE_A = (150, 120, 400, 250)            # layout points, on HEADLESS-1 (1280x720 at 0,0)
# On HEADLESS-2 (1024x768 at 1280,0), local 100.5,100.5: a half point is a pixel
# of its own only at scale 2 (at scale 1 the edges round to 101).
HOLE_B = (1380.5, 100.5, 300, 200)


def dimmed(rgb):
    return tuple(round(c * (1 - OPACITY)) for c in rgb)


class Lines:
    """Lines a child writes, read with a deadline."""

    def __init__(self, popen):
        self.popen, self.buffer = popen, b""

    def next(self, timeout=10.0):
        deadline = time.monotonic() + timeout
        while b"\n" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.popen.stdout], [], [], left)[0]:
                return None
            chunk = os.read(self.popen.stdout.fileno(), 4096)
            if not chunk:
                return None
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.decode()

    def expect(self, wanted, timeout=10.0):
        seen = []
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            line = self.next(deadline - time.monotonic())
            if line is None:
                break
            if line == wanted:
                return
            seen.append(line)
        raise AssertionError(f"no line {wanted!r} (saw {seen})")

    def pending(self, timeout=0.5):
        lines = []
        while (line := self.next(timeout)) is not None:
            lines.append(line)
        return lines


class WaylandMasks(unittest.TestCase):
    desktop = None

    @classmethod
    def setUpClass(cls):
        d = cls.desktop
        cls.bin = {name: d.install(os.path.join(BIN, name))
                   for name in ("dimwell_wayland_masks", "dimwell_wayland_pointer", "dimwell_wayland_probe")}
        cls.probe = d.spawn([cls.bin["dimwell_wayland_probe"], *map(str, PROBE_RECT)],
                            stdout=subprocess.PIPE, name="probe")
        cls.clicks = Lines(cls.probe)
        cls.clicks.expect("ready")
        cls.masks = d.spawn([cls.bin["dimwell_wayland_masks"], str(OPACITY), *map(str, HOLE_A + HOLE_B)],
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE, name="masks")
        cls.mask_lines = Lines(cls.masks)
        cls.mask_lines.expect("masks 2")

    def command(self, text):
        self.masks.stdin.write(text.encode() + b"\n")
        self.masks.stdin.flush()
        self.mask_lines.expect("ok")

    def expect_pixels(self, output, checks, timeout=5.0):
        """checks: (x, y, rgb, what) in the output's screen pixels; retried until the
        screen settles, then the mismatches are reported."""
        deadline = time.monotonic() + timeout
        while True:
            shot = self.desktop.screenshot(output=output)
            wrong = []
            for x, y, rgb, what in checks:
                got = shot.pixel(x, y)
                if any(abs(g - w) > 2 for g, w in zip(got, rgb)):
                    wrong.append(f"{what} at {x},{y}: {got}, want {rgb}")
            if not wrong or time.monotonic() > deadline:
                break
            time.sleep(0.2)
        self.assertEqual(wrong, [], f"{output}")

    def edges(self, left, top, width, height, inside, outside):
        """The hole's corners from inside and the first pixels outside them."""
        right, bottom = left + width - 1, top + height - 1
        return [(left, top, inside, "hole top-left"), (left - 1, top, outside, "left of the hole"),
                (left, top - 1, outside, "above the hole"), (right, bottom, inside, "hole bottom-right"),
                (right + 1, bottom, outside, "right of the hole"), (right, bottom + 1, outside, "below the hole")]

    def test_1_veil_and_exact_holes_on_both_outputs(self):
        # Hole A's top-left corner lies over the probe window, its bottom-right over the background.
        x, y, w, h = HOLE_A
        checks = self.edges(x, y, w, h, PROBE, dimmed(PROBE))[:3] + self.edges(x, y, w, h, GRAY, dimmed(GRAY))[3:]
        self.expect_pixels("HEADLESS-1", checks + [(1000, 600, dimmed(GRAY), "veil")])
        self.expect_pixels("HEADLESS-2", self.edges(101, 101, 300, 200, GRAY, dimmed(GRAY))
                           + [(900, 700, dimmed(GRAY), "veil")])

    def test_2_clicks_pass_through_the_hole_only(self):
        pointer = self.desktop.spawn([self.bin["dimwell_wayland_pointer"],
                                      *map(str, self.desktop.layout_size())],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, name="pointer")
        answers = Lines(pointer)
        answers.expect("ready")
        self.clicks.expect("pointer")

        def click(px, py):
            pointer.stdin.write(f"click {px} {py}\n".encode())
            pointer.stdin.flush()
            answers.expect("ok")

        try:
            self.command("clickout")
            click(200, 200)   # in the hole, over the probe
            click(120, 200)   # on the veil, over the probe
            self.assertEqual(self.clicks.pending(), ["click 100 100"], "click-out: only the hole lets clicks through")
            self.command("ignore")
            click(120, 200)
            self.assertEqual(self.clicks.pending(), ["click 20 100"],
                             "a mask that ignores the mouse lets clicks through")
            self.command("select")
            click(200, 200)
            self.assertEqual(self.clicks.pending(), [], "a selecting mask takes every click")
        finally:
            self.command("ignore")
            self.desktop.terminate(pointer)
            pointer.stdin.close()
            pointer.stdout.close()

    def test_3_scale_two_keeps_the_hole_exact(self):
        self.desktop.swaymsg("output", "HEADLESS-2", "scale", "2")
        try:
            self.mask_lines.expect("masks 2")
            # Screen pixels now: the hole starts at pixel 201, and the veil is not upscaled.
            self.expect_pixels("HEADLESS-2", self.edges(201, 201, 600, 400, GRAY, dimmed(GRAY))
                               + [(1000, 760, dimmed(GRAY), "veil")])
        finally:
            self.desktop.swaymsg("output", "HEADLESS-2", "scale", "1")
            self.mask_lines.expect("masks 2")

    def test_4_an_output_created_later_gets_its_mask(self):
        name = self.desktop.create_output("800x600", (0, 768))
        self.mask_lines.expect("masks 3")
        self.expect_pixels(name, [(400, 300, dimmed(GRAY), "veil")])

    def test_5_an_unplugged_output_loses_its_mask(self):
        # Headless outputs cannot be unplugged; the outputs of a nested sway can.
        with waydesktop.NestedSway(self.desktop, outputs=2) as nested:
            masks = nested.spawn([self.bin["dimwell_wayland_masks"], str(OPACITY), "10", "10", "100", "100"],
                                 stdin=subprocess.PIPE, stdout=subprocess.PIPE, name="nested-masks")
            lines = Lines(masks)
            lines.expect("masks 2")
            nested.unplug("WL-2")
            lines.expect("masks 1")
            masks.stdin.write(b"clickout\n")
            masks.stdin.flush()
            lines.expect("ok")
            self.assertIsNone(masks.poll(), "the masks live on after an output went away")
            masks.stdin.close()

    def test_6_a_moved_hole_repaints_where_it_was(self):
        # Two moves: the second redraw reuses the first buffer, which still shows the first hole.
        for _ in range(2):
            self.command("move 50 40")
            self.mask_lines.pending(0.2)
        x, y, w, h = HOLE_A[0] + 100, HOLE_A[1] + 80, HOLE_A[2], HOLE_A[3]
        self.expect_pixels("HEADLESS-1", self.edges(x, y, w, h, GRAY, dimmed(GRAY))[3:]
                           + [(x, y, PROBE, "hole top-left"), (x - 1, y, dimmed(PROBE), "left of the hole"),
                              (200, 150, dimmed(PROBE), "where the hole was")])


def main():
    try:
        desktop = waydesktop.SwayDesktop(outputs="1280x720,1024x768")
        desktop.start()
    except waydesktop.DesktopUnavailable as e:
        print(f"skipped: {e}", file=sys.stderr)
        return waydesktop.SKIP_STATUS
    try:
        WaylandMasks.desktop = desktop
        result = unittest.main(argv=sys.argv[:1], exit=False, verbosity=2).result
        return 0 if result.wasSuccessful() else 1
    finally:
        desktop.stop(failed=os.environ.get("DIMWELL_KEEP_DESKTOP") == "1")


if __name__ == "__main__":
    sys.exit(main())
