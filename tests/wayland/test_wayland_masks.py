#!/usr/bin/env python3
"""The Wayland masks on a real headless sway, where Dimwell's own test cannot
reach: half-point hole edges exact at scale 1 and 2, no mask left for an output
that went away, and a moved hole repainted where it was. Exits 77 (skipped) when sway cannot start."""
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wayland_session import BIN, GRAY, OPACITY, Lines, run_cases, veiled, waydesktop, wrong_pixels  # noqa: E402

HOLE_A = (150, 120, 400, 250)            # layout points, on HEADLESS-1 (1280x720 at 0,0)
# On HEADLESS-2 (1024x768 at 1280,0), local 100.5,100.5: a half point is a pixel
# of its own only at scale 2 (at scale 1 the edges round to 101).
HOLE_B = (1380.5, 100.5, 300, 200)


class WaylandMasks(unittest.TestCase):
    desktop = None

    @classmethod
    def setUpClass(cls):
        cls.program = cls.desktop.install(os.path.join(BIN, "dimwell_wayland_masks"))
        cls.masks = cls.desktop.spawn([cls.program, str(OPACITY), *map(str, HOLE_A + HOLE_B)],
                                      stdin=subprocess.PIPE, stdout=subprocess.PIPE, name="masks")
        cls.mask_lines = Lines(cls.masks)
        cls.mask_lines.expect("masks 2")

    def expect_pixels(self, output, checks):
        self.assertEqual(wrong_pixels(self.desktop, checks, output), [], output)

    def edges(self, left, top, width, height):
        """The hole's corners from inside and the first pixels outside them."""
        right, bottom = left + width - 1, top + height - 1
        inside, outside = GRAY, veiled(GRAY)
        return [(left, top, inside, "hole top-left"), (left - 1, top, outside, "left of the hole"),
                (left, top - 1, outside, "above the hole"), (right, bottom, inside, "hole bottom-right"),
                (right + 1, bottom, outside, "right of the hole"), (right, bottom + 1, outside, "below the hole")]

    def test_1_scale_one_and_two_keep_the_hole_exact(self):
        self.expect_pixels("HEADLESS-2", self.edges(101, 101, 300, 200) + [(900, 700, veiled(GRAY), "veil")])
        self.desktop.swaymsg("output", "HEADLESS-2", "scale", "2")
        try:
            self.mask_lines.expect("masks 2")
            # Screen pixels now: the hole starts at pixel 201, and the veil is not upscaled.
            self.expect_pixels("HEADLESS-2", self.edges(201, 201, 600, 400)
                               + [(1000, 760, veiled(GRAY), "veil")])
        finally:
            self.desktop.swaymsg("output", "HEADLESS-2", "scale", "1")
            self.mask_lines.expect("masks 2")

    def test_2_an_unplugged_output_loses_its_mask(self):
        # Headless outputs cannot be unplugged; the outputs of a nested sway can.
        with waydesktop.NestedSway(self.desktop, outputs=2) as nested:
            masks = nested.spawn([self.program, str(OPACITY), "10", "10", "100", "100"],
                                 stdin=subprocess.PIPE, stdout=subprocess.PIPE, name="nested-masks")
            lines = Lines(masks)
            lines.expect("masks 2")
            nested.unplug("WL-2")
            lines.expect("masks 1")
            lines.tell("move 1 1")
            self.assertIsNone(masks.poll(), "the masks live on after an output went away")
            masks.stdin.close()

    def test_3_a_moved_hole_repaints_where_it_was(self):
        # Two moves: the second redraw reuses the first buffer, which still shows the first hole.
        for _ in range(2):
            self.mask_lines.tell("move 50 40")
            self.mask_lines.pending(0.2)
        x, y, w, h = HOLE_A[0] + 100, HOLE_A[1] + 80, HOLE_A[2], HOLE_A[3]
        self.expect_pixels("HEADLESS-1", self.edges(x, y, w, h) + [(200, 150, veiled(GRAY), "where the hole was")])


if __name__ == "__main__":
    sys.exit(run_cases(waydesktop.SwayDesktop(outputs="1280x720,1024x768"), WaylandMasks))
