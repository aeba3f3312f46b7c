#!/usr/bin/env python3
"""The test desktop itself: monitors where they were asked for, and no process
left behind, also when a test fails inside it or the runner gets a signal."""
import os
import subprocess
import sys
import time
import unittest

from e2e_support import SOURCE_DIR, Desktop, _alive
from PIL import Image
from xdesktop import Monitor, _descendants

XDESKTOP = f"{SOURCE_DIR}/scripts/xdesktop.py"


def alive(pids):
    return [p for p in pids if _alive(p)]


class TestDesktop(unittest.TestCase):
    def test_default_layout_is_two_monitors_side_by_side_painted_to_the_edges(self):
        with Desktop() as d:
            self.assertEqual(d.monitors(), [Monitor("DUMMY0", 0, 0, 1920, 1080, True),
                                            Monitor("DUMMY1", 1920, 0, 1280, 1024, False)])
            for x, y in [(0, 0), (1919, 1079), (1920, 0), (3199, 1023)]:
                self.assertEqual(d.pixel(x, y), (128, 128, 128), (x, y))

    def test_background_probe_windows_and_screenshots_show_exact_colours(self):
        with Desktop() as d:
            d.set_background((10, 200, 30))
            d.set_background((200, 40, 90))  # a second one replaces the first under the compositor
            d.translucent_window(100, 100, 50, 50, rgba=(255, 0, 0, 128))
            d.wait_for_pixel(120, 120, (228, 20, 45), tolerance=1)  # straight alpha, blended over
            shot = Image.open(d.screenshot(os.path.join(d.dir, "shot.png")))
            self.assertEqual(shot.size, (3200, 1080))
            # RGB order kept, and the strip below the smaller monitor is black as on a real screen.
            self.assertEqual([shot.getpixel(p) for p in [(0, 0), (1920, 1023), (1920, 1024)]],
                             [(200, 40, 90), (200, 40, 90), (0, 0, 0)])

    def test_an_exception_inside_the_block_still_stops_everything(self):
        with self.assertRaises(KeyError):
            with Desktop(compositor=False, atspi=True) as d:
                d.xlogo()
                pids = d.pids()
                raise KeyError("boom")
        self.assertEqual(alive(pids), [])

    def test_run_passes_on_the_status_and_sigterm_stops_the_command(self):
        done = subprocess.run([sys.executable, XDESKTOP, "run", "--", "sh", "-c", "exit 7"], timeout=60)
        self.assertEqual(done.returncode, 7)
        runner = subprocess.Popen([sys.executable, XDESKTOP, "run", "--", "sh", "-c", 'echo "$DISPLAY"; exec sleep 60'],
                                  stdout=subprocess.PIPE, text=True)
        try:
            self.assertTrue(runner.stdout.readline().startswith(":"))
            family = _descendants([runner.pid])
            start = time.monotonic()
            runner.terminate()
            self.assertEqual(runner.wait(timeout=15), 143)
            self.assertLess(time.monotonic() - start, 10)
            self.assertEqual(alive(family - {runner.pid}), [])
        finally:
            runner.stdout.close()
            if runner.poll() is None:
                runner.kill()
                runner.wait()


if __name__ == "__main__":
    unittest.main(verbosity=2)
