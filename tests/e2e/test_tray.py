#!/usr/bin/env python3
"""Dimwell as a tray application on a real X server (Xorg dummy, openbox, picom).

With a tray host (tint2): the status icon shows in the tray (screenshot), a click
opens the menu and the hotkeys stop while it is open, "Start selection" dims the
screen at the selection opacity, and "Quit Dimwell" ends the program and the
tutorial it started on the first run. Without a tray host: Dimwell still runs
its hotkeys, and its icon appears once a host starts. A second Dimwell on the
same display exits at once. Screenshots go to $DIMWELL_BUILD_DIR/test-output/tray.
"""
import os
import signal
import sys
import time
import unittest

SOURCE_DIR = os.environ.get("DIMWELL_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
BUILD_DIR = os.environ.get("DIMWELL_BUILD_DIR") or os.path.join(SOURCE_DIR, "build")
sys.path.insert(0, os.path.join(SOURCE_DIR, "scripts"))
from xdesktop import Desktop, DesktopError, _alive  # noqa: E402

DIMWELL = os.path.join(BUILD_DIR, "bin", "Dimwell")
OUT_DIR = os.path.join(BUILD_DIR, "test-output", "tray")
STEP = 10.0
GRAY = (128, 128, 128)
SELECTION = (64, 64, 64)     # gray 128 under the selection veil of opacity 0.5
ICON_LIGHT = (242, 242, 242)  # the status image's veil
PROBE = (300, 200)           # a screen point far from the pointer and the panel

# Preferences of a user who has run Dimwell before: no tutorial at start.
SEEN_BEFORE = """<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict><key>opacity</key><real>0.8</real></dict></plist>
"""


class DimwellOnDesktop:
    """One Dimwell on a desktop, with its log lines (standard error) at hand."""

    def __init__(self, desktop, name="Dimwell", first_run=True):
        self.d = desktop
        self.name = name
        if not first_run:
            folder = os.path.join(desktop.dir, "config", "Dimwell")
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, "com.Orvalen.Dimwell.plist"), "w") as f:
                f.write(SEEN_BEFORE)
        self.popen = desktop.spawn([DIMWELL], name=name, env=desktop.env({"DIMWELL_LOG_STDERR": "1"}))

    def log(self):
        with open(self.d.log_path(self.name), errors="replace") as f:
            return [line.rstrip("\n").removeprefix("Dimwell: ") for line in f]

    def wait_for_line(self, line, count=1):
        self.d.wait_for(lambda: self.log().count(line) >= count, STEP, f"log line {line!r} x{count}")

    def exit_status(self, timeout=STEP):
        self.d.wait_for(lambda: self.popen.poll() is not None, timeout, f"{self.name} to end")
        return self.popen.returncode


def tray_icon(d):
    """(x, y, width, height) of Dimwell's icon docked in the tray, or None."""
    for window in d.run(["xdotool", "search", "--class", "Dimwell"], check=False).split():
        try:
            x, y, w, h = d.window_rect(int(window))
        except DesktopError:
            continue
        if w <= 64 and h <= 64 and y > 900:
            return x, y, w, h
    return None


def wait_for_tray_icon(d):
    return d.wait_for(lambda: tray_icon(d), STEP, "the status icon in the tray", interval=0.2)


def tutorial_pids(d):
    pids = set()
    for window in d.run(["xdotool", "search", "--name", "^Dimwell Tutorial$"], check=False).split():
        out = d.run(["xdotool", "getwindowpid", window], check=False).strip()
        if out.isdigit():
            pids.add(int(out))
    return pids


def shot(d, name):
    os.makedirs(OUT_DIR, exist_ok=True)
    return d.screenshot(os.path.join(OUT_DIR, name))


class WithTray(unittest.TestCase):
    def test_icon_menu_selection_and_quit(self):
        started_tutorials = set()
        try:
            with Desktop(monitors=1) as d:
                d.spawn(["tint2"], name="tint2")
                app = DimwellOnDesktop(d)
                app.wait_for_line("Dimwell started")

                # The first run opened the tutorial; it must end with Dimwell.
                started_tutorials = d.wait_for(lambda: tutorial_pids(d), STEP, "the tutorial window")
                x, y, w, h = wait_for_tray_icon(d)
                d.wait_for_pixel(x + w // 2 - 3, y + h // 2, ICON_LIGHT, tolerance=8)
                shot(d, "icon-in-tray.png")

                d.click(x + w // 2, y + h // 2)
                app.wait_for_line("menu active")
                shot(d, "menu-open.png")
                # The first item, Start selection: the menu has the keyboard.
                d.key("Down", "Return")
                app.wait_for_line("menu resigned")
                d.wait_for_pixel(*PROBE, SELECTION, tolerance=3)
                shot(d, "selection-started.png")
                d.key("Escape")
                d.wait_for_pixel(*PROBE, GRAY, tolerance=1)

                d.click(x + w // 2, y + h // 2)
                app.wait_for_line("menu active", count=2)
                d.key("Up", "Return")   # the last item, Quit Dimwell
                self.assertEqual(app.exit_status(), 0)
                d.wait_for(lambda: not any(_alive(p) for p in started_tutorials), STEP, "the tutorial to end")
        finally:
            # Started detached, a tutorial would outlive a failed run.
            for pid in started_tutorials:
                if _alive(pid):
                    os.kill(pid, signal.SIGKILL)


class WithoutTray(unittest.TestCase):
    def test_hotkeys_work_and_the_icon_comes_with_a_tray_host(self):
        with Desktop(monitors=1) as d:
            app = DimwellOnDesktop(d, first_run=False)
            app.wait_for_line("Dimwell started")
            self.assertIn("no system tray: the menu is unavailable", app.log())

            d.move_pointer(900, 500)
            d.key("ctrl+shift+z")   # selection mode, the first preset
            d.wait_for_pixel(*PROBE, SELECTION, tolerance=3)
            d.key("Escape")
            d.wait_for_pixel(*PROBE, GRAY, tolerance=1)

            d.spawn(["tint2"], name="tint2")
            wait_for_tray_icon(d)
            app.wait_for_line("status icon in the system tray")
            shot(d, "icon-after-tray-host.png")

    def test_a_second_dimwell_on_the_display_exits_at_once(self):
        with Desktop(monitors=1, compositor=False) as d:
            first = DimwellOnDesktop(d, first_run=False)
            first.wait_for_line("Dimwell started")
            second = DimwellOnDesktop(d, name="second")
            self.assertEqual(second.exit_status(), 0)
            self.assertIn("Dimwell is already running", second.log())
            self.assertIsNone(first.popen.poll())


if __name__ == "__main__":
    unittest.main(verbosity=2)
