#!/usr/bin/env python3
"""The test desktop itself, on real X servers: monitors where they were asked for,
translucency blended by the compositor, monitors plugged and unplugged, input that
reaches clients, and no process left behind, also when the desktop is stopped by a
signal."""
import os
import subprocess
import sys
import tempfile
import time
import unittest

SOURCE_DIR = os.environ.get("DIMWELL_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
XDESKTOP = os.path.join(SOURCE_DIR, "scripts", "xdesktop.py")
sys.path.insert(0, os.path.dirname(XDESKTOP))
from xdesktop import Desktop, Monitor  # noqa: E402
import xdesktop  # noqa: E402

GRAY = (128, 128, 128)


def alive(pids):
    return [p for p in pids if xdesktop._alive(p)]


def command(pid):
    try:
        with open(f"/proc/{pid}/comm") as f:
            return f.read().strip()
    except OSError:
        return None


class MonitorLayout(unittest.TestCase):
    def test_default_layout_is_two_monitors_side_by_side(self):
        with Desktop() as d:
            self.assertEqual(d.monitors(), [Monitor("DUMMY0", 0, 0, 1920, 1080, True),
                                            Monitor("DUMMY1", 1920, 0, 1280, 1024, False)])
            self.assertEqual(d.screen_size(), (3200, 1080))
            # The background is painted on both monitors, right up to their edges.
            for x, y in [(0, 0), (1919, 1079), (1920, 0), (3199, 1023)]:
                self.assertEqual(d.pixel(x, y), GRAY, (x, y))

    def test_layout_from_a_spec_string(self):
        # Odd sizes need modes of their own; a monitor lower than its neighbour.
        with Desktop(monitors="1000x700+0+100,1300x900+1000+0", compositor=False) as d:
            self.assertEqual([m.rect for m in d.monitors()], [(0, 100, 1000, 700), (1000, 0, 1300, 900)])
            self.assertEqual(d.screen_size(), (2300, 900))

    def test_spec_parsing(self):
        rows = [("1", [(1920, 1080, 0, 0)]),
                (3, [(1920, 1080, 0, 0), (1280, 1024, 1920, 0), (1280, 1024, 3200, 0)]),
                ("800x600,640x480", [(800, 600, 0, 0), (640, 480, 800, 0)]),
                ("800x600+0+0,800x600+0+0", [(800, 600, 0, 0), (800, 600, 0, 0)])]
        for spec, layout in rows:
            with self.subTest(spec=spec):
                self.assertEqual(xdesktop.parse_monitors(spec), layout)
        for bad in ["0", "9", "800x600+0", "wide", "0x600", ""]:
            with self.subTest(bad=bad), self.assertRaises(ValueError):
                xdesktop.parse_monitors(bad)


class Translucency(unittest.TestCase):
    def test_argb_window_is_blended_only_with_a_compositor(self):
        # Black at alpha 0.8 over gray 128 reads 26 when composited; without a
        # compositor the server shows the window's raw colour, black.
        for compositor, inside in [(True, (26, 26, 26)), (False, (0, 0, 0))]:
            with self.subTest(compositor=compositor), Desktop(compositor=compositor) as d:
                window, _ = d.translucent_window(1800, 100, 300, 200, (0, 0, 0, 204), title="probe")
                self.assertEqual(d.wait_for_window("probe"), window)
                d.wait_for_pixel(1850, 150, inside)  # left monitor
                self.assertEqual(d.pixel(2050, 250), inside)  # right monitor
                self.assertEqual(d.pixel(1799, 150), GRAY)
                self.assertEqual(d.pixel(2100, 150), GRAY)
                self.assertEqual(d.pixel(1850, 300), GRAY)

    def test_background_colour_is_what_the_compositor_paints(self):
        with Desktop() as d:
            d.set_background((20, 120, 220))
            d.wait_for_pixel(2500, 500, (20, 120, 220), tolerance=0)
            self.assertEqual(d.pixel(10, 10), (20, 120, 220))


class Hotplug(unittest.TestCase):
    def test_plug_mirror_and_unplug(self):
        with Desktop() as d:
            third = d.add_monitor("1024x768+3200+0")
            self.assertIn(Monitor(third, 3200, 0, 1024, 768), d.monitors())
            self.assertEqual(d.screen_size(), (4224, 1080))
            d.wait_for_pixel(4200, 700, GRAY)  # the new monitor shows the desktop

            mirror = d.mirror_monitor("DUMMY1")
            self.assertEqual([m.rect for m in d.monitors() if m.name in ("DUMMY1", mirror)],
                             [(1920, 0, 1280, 1024)] * 2)

            d.remove_monitor("DUMMY1")
            names = [m.name for m in d.monitors()]
            self.assertNotIn("DUMMY1", names)
            self.assertIn(mirror, names)  # the mirror stays until it is unplugged too

            d.remove_monitor(mirror)
            d.remove_monitor(third)
            self.assertEqual(d.monitors(), [Monitor("DUMMY0", 0, 0, 1920, 1080, True)])
            self.assertEqual(d.screen_size(), (1920, 1080))

            replugged = d.add_monitor("1280x1024+1920+0")
            self.assertEqual(d.monitors()[-1], Monitor(replugged, 1920, 0, 1280, 1024))

    def test_xvfb_refuses_monitor_changes(self):
        with self.assertRaises(ValueError):
            Desktop(monitors=2, xvfb=True)
        with Desktop(monitors=1, xvfb=True, compositor=False) as d:
            self.assertEqual([m.rect for m in d.monitors()], [(0, 0, 1920, 1080)])
            with self.assertRaises(xdesktop.DesktopError):
                d.add_monitor("800x600+1920+0")


class Processes(unittest.TestCase):
    def test_clients_get_input_and_nothing_outlives_the_desktop(self):
        with tempfile.TemporaryDirectory() as tmp:
            typed = os.path.join(tmp, "typed")
            with Desktop(atspi=True) as d:
                env = d.env()
                for var in ("XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "XDG_DATA_HOME"):
                    self.assertTrue(env[var].startswith(d.dir + os.sep), var)
                names = d.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                               "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"])
                self.assertIn("org.a11y.Bus", names)

                term = d.xterm(title="input", command=["sh", "-c", f"read line; echo \"$line\" > {typed}"])
                d.xlogo()
                d.picture()
                d.translucent_window(0, 0, 50, 50)
                d.activate(term)
                d.xdotool("type", "--delay", "20", "hello")
                d.key("Return")
                d.wait_for(lambda: os.path.exists(typed) and os.path.getsize(typed) > 0, 5, "typed text")
                d.move_pointer(2000, 500)
                self.assertEqual(d.pointer(), (2000, 500))

                pids = d.pids()
                desktop_dir = d.dir
                self.assertGreaterEqual(len(pids), 9)  # server, bus, wm, compositor, a11y, clients
            with open(typed) as f:
                self.assertEqual(f.read().strip(), "hello")
        self.assertEqual(alive(pids), [])
        self.assertFalse(os.path.exists(desktop_dir))

    def test_exception_inside_the_block_still_stops_everything(self):
        with self.assertRaises(KeyError):
            with Desktop(compositor=False) as d:
                d.xlogo()
                pids = d.pids()
                raise KeyError("boom")
        self.assertEqual(alive(pids), [])

    def test_run_command_passes_on_the_exit_status(self):
        rows = [("exit 7", 7),
                ('test -n "$DISPLAY" && xdpyinfo >/dev/null && test -n "$DBUS_SESSION_BUS_ADDRESS"', 0),
                ("kill -9 $$", 137)]
        for script, status in rows:
            with self.subTest(script=script):
                done = subprocess.run([sys.executable, XDESKTOP, "run", "--", "sh", "-c", script], timeout=60)
                self.assertEqual(done.returncode, status)

    def test_run_command_leaves_nothing_in_the_background(self):
        done = subprocess.run([sys.executable, XDESKTOP, "run", "--", "sh", "-c", "sleep 300 & echo $!"],
                              stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=60)
        self.assertEqual(done.returncode, 0)
        self.assertEqual(alive([int(done.stdout.strip())]), [])

    def test_sigterm_stops_the_desktop_and_the_command(self):
        runner = subprocess.Popen([sys.executable, XDESKTOP, "run", "--", "sh", "-c", 'echo "$DISPLAY"; exec sleep 60'],
                                  stdout=subprocess.PIPE, text=True)
        try:
            self.assertTrue(runner.stdout.readline().startswith(":"))
            family = xdesktop._descendants([runner.pid])
            self.assertIn("Xorg", [command(p) for p in family])
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
