#!/usr/bin/env python3
"""Dimwell as a tray application (Xorg dummy, openbox, picom, tint2 as tray host):
the icon shows, its menu opens with a click and stops the hotkeys, "Start selection"
dims the screen, "Quit Dimwell" ends the program and the tutorial of the first run,
and so does a hang-up.
Without a tray host the hotkeys work and the icon comes with a host. A second
Dimwell on the display exits at once, whatever its environment."""
import contextlib
import os
import signal
import unittest

from e2e_support import (BACKGROUND, DIMWELL, Desktop, _alive, log_lines, out_dir, preset_shortcuts,
                         start_dimwell, tray_icon, veiled, wait_for_line, write_prefs)

OUT_DIR = out_dir("tray")
STEP = 10.0
SELECTION = veiled(BACKGROUND, 0.5)
ICON_LIGHT = (242, 242, 242)
PROBE = (300, 200)   # far from the pointer and the panel
NO_BUS = "view mode needs the accessibility bus (at-spi2-core); the whole window is used until it runs"


def wait_for_tray_icon(d):
    return d.wait_for(lambda: tray_icon(d), STEP, "the status icon in the tray", interval=0.2)


def tutorial_pids(d):
    pids = set()
    for window in d.run(["xdotool", "search", "--name", "^Dimwell Tutorial$"], check=False).split():
        out = d.run(["xdotool", "getwindowpid", window], check=False).strip()
        if out.isdigit():
            pids.add(int(out))
    return pids


def exit_status(d, popen):
    d.wait_for(lambda: popen.poll() is not None, STEP, "Dimwell to end")
    return popen.returncode


@contextlib.contextmanager
def first_run(tray, **desktop):
    """A desktop and a Dimwell on its first run, whose tutorial must end with it;
    started detached, a tutorial would outlive a failed run."""
    tutorials = set()
    try:
        with Desktop(monitors=1, **desktop) as d:
            if tray:
                d.spawn(["tint2"], name="tint2")
            app = start_dimwell(d)
            tutorials = d.wait_for(lambda: tutorial_pids(d), STEP, "the tutorial window")
            yield d, app
            d.wait_for(lambda: not any(_alive(p) for p in tutorials), STEP, "the tutorial to end")
    finally:
        for pid in tutorials:
            if _alive(pid):
                os.kill(pid, signal.SIGKILL)


class Tray(unittest.TestCase):
    def test_icon_menu_selection_and_quit(self):
        with first_run(tray=True) as (d, app):
            x, y, w, h = wait_for_tray_icon(d)
            d.wait_for_pixel(x + w // 2 - 3, y + h // 2, ICON_LIGHT, tolerance=8)
            d.screenshot(os.path.join(OUT_DIR, "icon-in-tray.png"))

            d.click(x + w // 2, y + h // 2)
            wait_for_line(d, "menu active")
            d.screenshot(os.path.join(OUT_DIR, "menu-open.png"))
            d.key("Down", "Return")   # the first item, Start selection
            wait_for_line(d, "menu resigned")
            d.wait_for_pixel(*PROBE, SELECTION, tolerance=3)
            d.screenshot(os.path.join(OUT_DIR, "selection-started.png"))
            d.key("Escape")
            d.wait_for_pixel(*PROBE, BACKGROUND, tolerance=1)

            d.click(x + w // 2, y + h // 2)
            wait_for_line(d, "menu active", count=2)
            d.key("Up", "Return")   # the last item, Quit Dimwell
            self.assertEqual(exit_status(d, app), 0)

    def test_without_a_tray_host_hotkeys_work_and_the_icon_comes_later(self):
        with Desktop(monitors=1) as d:
            write_prefs(d)
            start_dimwell(d)
            self.assertIn("no system tray: the menu is unavailable", log_lines(d))
            d.move_pointer(900, 500)
            d.key("ctrl+shift+z")   # selection mode, the first preset
            d.wait_for_pixel(*PROBE, SELECTION, tolerance=3)
            d.key("Escape")
            d.wait_for_pixel(*PROBE, BACKGROUND, tolerance=1)
            d.spawn(["tint2"], name="tint2")
            wait_for_tray_icon(d)
            wait_for_line(d, "status icon in the system tray")

            # This desktop has no accessibility bus: view mode says so once.
            d.xterm(title="notes", geometry="80x24+200+200")
            d.move_pointer(400, 300)
            for presses in (1, 2):
                d.key(preset_shortcuts()["viewMode"])
                wait_for_line(d, "The current app is xterm", count=presses)
            self.assertEqual(log_lines(d).count(NO_BUS), 1)

    def test_a_hang_up_quits_like_quit_and_ends_the_tutorial(self):
        with first_run(tray=False, compositor=False) as (d, app):
            app.send_signal(signal.SIGHUP)
            self.assertEqual(exit_status(d, app), 0)

    def test_a_second_dimwell_on_the_display_exits_at_once(self):
        with Desktop(monitors=1, compositor=False) as d:
            write_prefs(d)
            first = start_dimwell(d)
            # The same session seen another way: no runtime folder, the display
            # spelled with its screen.
            env = d.env({"DIMWELL_LOG_STDERR": "1", "DISPLAY": d.display + ".0"})
            env.pop("XDG_RUNTIME_DIR")
            second = d.spawn([DIMWELL], name="second", env=env)
            self.assertEqual(exit_status(d, second), 0)
            self.assertIn("Dimwell is already running", log_lines(d, "second"))
            self.assertIsNone(first.poll())


if __name__ == "__main__":
    unittest.main(verbosity=2)
