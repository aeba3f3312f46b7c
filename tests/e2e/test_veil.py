#!/usr/bin/env python3
"""The veil on a real X server: the real mask windows, driven through the overlay
probe, on Xorg with two monitors (1920x1080 primary, 1280x1024 to its right),
openbox and picom, checked pixel by pixel on screenshots: the hole, clicks through the veil, monitors mirrored, unplugged and plugged,
a clean screen after closing; then without a compositor, with one that dies and
comes back, and without a window manager."""
import os
import subprocess
import time

from e2e_support import (BACKGROUND, BUILD_DIR, Desktop, DesktopError, LineReader, out_dir, run_main, veiled,
                         write_prefs)

PROBE = os.path.join(BUILD_DIR, "tests", "x11", "overlay_probe")
OUT_DIR = out_dir("veil")
STEP_TIMEOUT = 5.0
TOLERANCE = 2
WHITE_DIMMED = veiled((255,) * 3)


class Probe:
    def __init__(self, desktop):
        self.desktop = desktop
        self.log_path = desktop.log_path("overlay_probe")
        # A returning user with click-out off: clicks on the veil reach the windows below.
        write_prefs(desktop)
        self.popen = desktop.spawn([PROBE], name="overlay_probe", stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.reader = LineReader(self.popen, f"the probe (see {self.log_path})")
        self.expect("ready")

    def expect(self, prefix, timeout=STEP_TIMEOUT):
        """Reads lines until one starts with prefix; returns it."""
        while True:
            line = self.reader.line(timeout)
            if line.startswith("error"):
                raise DesktopError(f"probe: {line}")
            if line.startswith(prefix):
                return line

    def send(self, command):
        self.popen.stdin.write((command + "\n").encode())
        self.popen.stdin.flush()
        return self.expect("ok " + command.split()[0])

    def windows(self):
        """[(x, y, width, height, visible)] of the mask windows, root pixels."""
        count = int(self.send("windows").split()[2])
        return [tuple(int(v) for v in self.reader.line().split()[2:7]) for _ in range(count)]

    def log(self):
        with open(self.log_path, errors="replace") as f:
            return f.read()


class Checks:
    def __init__(self, desktop):
        self.desktop = desktop
        self.failures = []

    def pixel(self, what, x, y, rgb, timeout=STEP_TIMEOUT):
        try:
            self.desktop.wait_for_pixel(x, y, rgb, tolerance=TOLERANCE, timeout=timeout)
        except DesktopError as e:
            self.failures.append(f"{what}: {e}")

    def that(self, what, ok):
        if not ok:
            self.failures.append(what)

    def shot(self, name):
        return self.desktop.screenshot(os.path.join(OUT_DIR, f"{name}.png"))


def hole_edges(check, label, x, y, w, h, outside):
    """The hole is exactly (x, y, w, h): clear on its edge pixels, dimmed one pixel beyond."""
    for px, py in ((x, y), (x + w - 1, y), (x, y + h - 1), (x + w - 1, y + h - 1), (x + w // 2, y + h // 2)):
        check.pixel(f"{label}: inside at ({px},{py})", px, py, BACKGROUND)
    for px, py in ((x - 1, y + 5), (x + w, y + 5), (x + 5, y - 1), (x + 5, y + h)):
        check.pixel(f"{label}: outside at ({px},{py})", px, py, outside)


def xev_presses(path):
    with open(path, errors="replace") as f:
        return f.read().count("ButtonPress event")


def main_desktop():
    with Desktop(monitors=2) as d:
        check = Checks(d)
        baseline = d.capture()
        probe = Probe(d)
        dim = veiled()

        check.that("two mask windows, hidden, one per monitor",
                   probe.windows() == [(0, 0, 1920, 1080, 0), (1920, 0, 1280, 1024, 0)])

        probe.send("hole 200 150 400 300")
        hole_edges(check, "hole on the first monitor", 200, 150, 400, 300, dim)
        check.pixel("first monitor, far from the hole", 1500, 900, dim)
        check.pixel("second monitor", 2500, 500, dim)
        check.shot("hole-first-monitor")

        probe.send("hole 1800 200 300 200")
        hole_edges(check, "hole across both monitors", 1800, 200, 300, 200, dim)
        check.pixel("hole across the monitors' seam, first side", 1919, 300, BACKGROUND)
        check.pixel("hole across the monitors' seam, second side", 1920, 300, BACKGROUND)
        check.pixel("old hole dimmed again", 300, 250, dim)
        check.shot("hole-both-monitors")

        # Clicks go through the veil.
        xev_log = os.path.join(d.dir, "logs", "xev.out")
        with open(xev_log, "w") as out:
            d.spawn(["xev", "-geometry", "200x150+1000+600", "-name", "clicks"], name="xev", stdout=out)
        clicks = d.wait_for_window("clicks")
        probe.send("hole 200 150 400 300")
        cx, cy, _, _ = d.window_rect(clicks)
        before = xev_presses(xev_log)
        d.click(cx + 100, cy + 75)
        d.wait_for(lambda: xev_presses(xev_log) > before, STEP_TIMEOUT, "the click below the veil")

        # A mirror shows the same picture: it gets no window of its own.
        mirror = d.mirror_monitor("DUMMY1")
        probe.expect("reconfigured")
        check.that("a mirrored monitor adds no window", len(probe.windows()) == 2)
        check.that("the mirror set is logged", "not main mirror display" in probe.log())
        d.remove_monitor(mirror)
        probe.expect("reconfigured")

        # Unplugging the second monitor rebuilds the windows (hidden) without a crash.
        d.remove_monitor("DUMMY1")
        probe.expect("reconfigured")
        check.that("one window after unplugging", probe.windows() == [(0, 0, 1920, 1080, 0)])
        probe.send("hole 200 150 400 300")
        hole_edges(check, "hole after unplugging", 200, 150, 400, 300, dim)
        d.add_monitor("1280x1024+1920+0", output="DUMMY1")
        probe.expect("reconfigured")
        check.that("two windows after plugging back", len(probe.windows()) == 2)
        probe.send("hole 1800 200 300 200")
        hole_edges(check, "hole across both monitors after plugging back", 1800, 200, 300, 200, dim)
        check.pixel("the plugged monitor is dimmed", 2500, 800, dim)
        check.shot("after-replug")

        # Closing leaves the screen as it was (the clients opened since aside).
        probe.send("close")
        time.sleep(0.3)
        after = d.capture()
        d.wait_for(lambda: d.pixel(100, 100) == BACKGROUND, STEP_TIMEOUT, "the veil to go")
        outside = [(x, y) for x in range(0, 3200, 97) for y in range(0, 1080, 53)
                   if not (990 <= x < 1640 and 80 <= y < 800)]
        changed = [(x, y) for x, y in outside if after.pixel(x, y) != baseline.pixel(x, y)]
        check.that(f"the screen is clean after closing (changed: {changed[:5]})", not changed)
        probe.send("quit")
        return check.failures


def fallback_desktop():
    """No compositor: an opaque veil, with the hole cut out of the window."""
    with Desktop(monitors=1, compositor=False) as d:
        check = Checks(d)
        probe = Probe(d)
        probe.send("hole 300 200 500 400")
        hole_edges(check, "no compositor", 300, 200, 500, 400, (0, 0, 0))
        check.that("the missing compositor is logged once",
                   probe.log().count("no compositor: the veil will be opaque") == 1)
        check.shot("no-compositor")
        probe.send("close")
        check.pixel("no compositor: closed", 100, 100, BACKGROUND)
        probe.send("quit")
        return check.failures


def compositor_comes_and_goes():
    """The compositor dies under a shown veil and starts again: the veil turns opaque
    with the hole cut out, then translucent again, each time at once."""
    with Desktop(monitors=1) as d:
        check = Checks(d)
        probe = Probe(d)
        probe.send("hole 300 200 500 400")
        hole_edges(check, "with a compositor", 300, 200, 500, 400, veiled())
        d.stop_compositor()
        hole_edges(check, "compositor gone", 300, 200, 500, 400, (0, 0, 0))
        check.that("the lost compositor is logged", "the compositor has gone" in probe.log())
        check.shot("compositor-gone")
        d.start_compositor()
        hole_edges(check, "compositor back", 300, 200, 500, 400, veiled())
        check.that("the new compositor is logged", "a compositor is running" in probe.log())
        probe.send("quit")
        return check.failures


def unmanaged_desktop():
    """No window manager: a window that raises itself goes back under the veil."""
    with Desktop(monitors=1, wm=False) as d:
        check = Checks(d)
        probe = Probe(d)
        logo = d.xlogo(geometry="300x300+600+300")
        probe.send("hole 100 100 200 200")
        x, y, w, _ = d.window_rect(logo)
        check.pixel("dimmed at first", x + w // 2, y + 20, WHITE_DIMMED)
        d.xdotool("windowraise", logo)
        time.sleep(0.3)
        check.pixel("dimmed after raising itself", x + w // 2, y + 20, WHITE_DIMMED)
        probe.send("quit")
        return check.failures


def main():
    failures = []
    for scenario in (main_desktop, fallback_desktop, compositor_comes_and_goes, unmanaged_desktop):
        try:
            failures += scenario()
        except DesktopError as e:
            failures.append(f"{scenario.__name__}: {e}")
    if not failures:
        print(f"veil: all checks passed; screenshots in {OUT_DIR}")
    return failures


if __name__ == "__main__":
    run_main(main)
