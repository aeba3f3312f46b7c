#!/usr/bin/env python3
"""Selection mode and click-out of Dimwell on a real desktop (Xorg with two
monitors, openbox, picom), driven through XTest with xdotool.

An xev window is the program underneath: its log says which presses and keys
reached it. Checked here:
- the selection shortcut dims both monitors at 0.5 with a yellow crosshair at the
  pointer;
- a drag leaves the hole exactly where it was dragged, and the press of that drag
  never reaches the window below;
- with click-out on, a click inside the hole reaches the window, a click on the
  veil closes the overlay and reaches nothing;
- Escape during the crosshair step and during a drag closes the overlay and is
  swallowed; once the selection is over, Escape reaches the window again;
- after a cancelled selection every click still reaches the desktop.

Screenshots of every check go to $DIMWELL_BUILD_DIR/test-output/selection.
"""
import os
import plistlib
import shutil
import sys
import time

SOURCE_DIR = os.environ.get("DIMWELL_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
BUILD_DIR = os.environ.get("DIMWELL_BUILD_DIR") or os.path.join(SOURCE_DIR, "build")
sys.path.insert(0, os.path.join(SOURCE_DIR, "scripts"))
from xdesktop import Desktop, DesktopError  # noqa: E402
from demo import preset_shortcuts  # noqa: E402

BINARY = os.path.join(BUILD_DIR, "bin", "Dimwell")
OUT_DIR = os.path.join(BUILD_DIR, "test-output", "selection")
OPACITY = 0.8
SELECTION_OPACITY = 0.5
BACKGROUND = (128, 128, 128)
YELLOW = (255, 255, 0)
STEP_TIMEOUT = 5.0
TOLERANCE = 4

# Where things are: the xev window's inside, the dragged rectangle inside it, and
# points on the primary (1920x1080) and second (1280x1024 to its right) monitors.
TARGET = (300, 300, 500, 300)
DRAG = (350, 350, 650, 520)
FAR_PRIMARY = (1700, 200)
FAR_SECOND = (2500, 500)


def veiled(rgb, opacity=OPACITY):
    return tuple(round(c * (1.0 - opacity)) for c in rgb)


def near(a, b):
    return all(abs(x - y) <= TOLERANCE for x, y in zip(a, b))


class Checks:
    """Named pixel expectations, retried until they all hold or time runs out."""

    def __init__(self, d, failures):
        self.d = d
        self.failures = failures

    def wait(self, label, expectations, timeout=STEP_TIMEOUT):
        """expectations: (what, (x, y), rgb) or (what, (x, y, w, h), rgb) for "some
        pixel of this area". True when all held."""
        deadline = time.monotonic() + timeout
        while True:
            shot = self.d.capture()
            wrong = []
            for what, where, want in expectations:
                if len(where) == 2:
                    points = [where]
                else:
                    x, y, w, h = where
                    points = [(x + i, y + j) for j in range(h) for i in range(w)]
                if not any(near(shot.pixel(*p), want) for p in points):
                    wrong.append(f"{what} at {where} is {shot.pixel(*points[0])}, expected {want}")
            if not wrong or time.monotonic() > deadline:
                shot.save_png(os.path.join(OUT_DIR, f"{label}.png"))
                self.failures.extend(f"{label}: {w}" for w in wrong)
                return not wrong
            time.sleep(0.1)


class Xev:
    """What reached the xev window, read from its log."""

    def __init__(self, path):
        self.path = path

    def _blocks(self):
        try:
            with open(self.path, errors="replace") as f:
                return f.read().split("\n\n")
        except OSError:
            return []

    def presses(self):
        return sum(b.lstrip().startswith("ButtonPress event") for b in self._blocks())

    def escapes(self):
        return sum(b.lstrip().startswith("KeyPress event") and "Escape" in b for b in self._blocks())


def wait_count(what, count, expected, failures, timeout=3.0, settle=0.6):
    """Wait until count() == expected; then make sure nothing more arrives."""
    deadline = time.monotonic() + timeout
    while count() != expected and time.monotonic() < deadline:
        time.sleep(0.05)
    time.sleep(settle)
    got = count()
    if got != expected:
        failures.append(f"{what}: {got}, expected {expected}")
    return got == expected


def wait_for_log(path, text, timeout=10.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            with open(path, errors="replace") as f:
                if text in f.read():
                    return True
        except OSError:
            pass
        time.sleep(0.1)
    return False


def main():
    if not os.path.exists(BINARY):
        print(f"{BINARY} not built", file=sys.stderr)
        return 1
    shutil.rmtree(OUT_DIR, ignore_errors=True)
    os.makedirs(OUT_DIR)
    keys = preset_shortcuts()
    failures = []
    with Desktop(monitors=2) as d:
        checks = Checks(d, failures)
        # A stored opacity marks a later run: no tutorial over the test.
        config = os.path.join(d.env()["XDG_CONFIG_HOME"], "Dimwell")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "com.Orvalen.Dimwell.plist"), "wb") as f:
            plistlib.dump({"opacity": OPACITY, "bringtofront": True, "clickout": True, "currentonly": False}, f)

        target = d.start_client(["stdbuf", "-oL", "xev", "-geometry", "{2}x{3}+{0}+{1}".format(*TARGET), "-name", "xevtarget",
                                 "-event", "button", "-event", "keyboard"], "xevtarget", name="xev")
        xev = Xev(d.log_path("xev"))
        d.move_pointer(1500, 1000)
        time.sleep(0.5)
        reference = d.capture()
        # The window manager puts the frame where xev asked: the inside sits a little lower.
        x, y, w, h = d.window_rect(target)
        if not (x < DRAG[0] and y < DRAG[1] and DRAG[2] < x + w - 30 and DRAG[3] < y + h - 30):
            raise DesktopError(f"xev window at {(x, y, w, h)} does not hold the drag {DRAG}")

        program = d.spawn([BINARY], name="Dimwell", env=d.env({"DIMWELL_LOG_STDERR": "1"}))
        if not wait_for_log(d.log_path("Dimwell"), "Dimwell started"):
            raise DesktopError(f"Dimwell did not start, see {d.log_path('Dimwell')}")

        # Crosshair step: both monitors at 0.5, a yellow cross through the pointer.
        d.move_pointer(1200, 700)
        d.key(keys["selectMode"])
        checks.wait("01-crosshair", [
            ("primary monitor", FAR_PRIMARY, veiled(BACKGROUND, SELECTION_OPACITY)),
            ("second monitor", FAR_SECOND, veiled(BACKGROUND, SELECTION_OPACITY)),
            ("vertical line of the cross", (1197, 200, 7, 1), YELLOW),
            ("horizontal line of the cross", (1700, 697, 1, 7), YELLOW),
        ])

        # The drag: its press never reaches xev, the hole is where it went.
        x0, y0, x1, y1 = DRAG
        d.drag(x0, y0, x1, y1)

        def hole(label):
            mid_y = (y0 + y1) // 2
            mid_x = (x0 + x1) // 2
            return [
                (f"{label}: hole centre", (mid_x, mid_y), reference.pixel(mid_x, mid_y)),
                (f"{label}: hole top-left", (x0 + 3, y0 + 3), reference.pixel(x0 + 3, y0 + 3)),
                (f"{label}: hole bottom-right", (x1 - 3, y1 - 3), reference.pixel(x1 - 3, y1 - 3)),
                (f"{label}: left of the hole", (x0 - 4, mid_y), veiled(reference.pixel(x0 - 4, mid_y))),
                (f"{label}: right of the hole", (x1 + 4, mid_y), veiled(reference.pixel(x1 + 4, mid_y))),
                (f"{label}: above the hole", (mid_x, y0 - 4), veiled(reference.pixel(mid_x, y0 - 4))),
                (f"{label}: below the hole", (mid_x, y1 + 4), veiled(reference.pixel(mid_x, y1 + 4))),
                (f"{label}: second monitor", FAR_SECOND, veiled(BACKGROUND)),
            ]
        checks.wait("02-dragged-hole", hole("after the drag"))
        wait_count("presses reaching xev after the drag", xev.presses, 0, failures)

        # Click-out: inside the hole the click goes through, on the veil it closes.
        d.click((x0 + x1) // 2, (y0 + y1) // 2)
        wait_count("presses reaching xev after a click in the hole", xev.presses, 1, failures)
        checks.wait("03-clicked-in-hole", hole("after a click in the hole"))
        d.click(x + w - 20, y + h - 20)   # on xev, outside the hole
        checks.wait("04-clicked-on-veil", [("primary monitor", FAR_PRIMARY, BACKGROUND),
                                           ("second monitor", FAR_SECOND, BACKGROUND)])
        wait_count("presses reaching xev after a click on the veil", xev.presses, 1, failures)

        # Escape in the crosshair step closes and is swallowed; then Escape is xev's again.
        d.activate(target)
        d.move_pointer(1200, 700)
        d.key(keys["selectMode"])
        checks.wait("05-crosshair-again", [("primary monitor", FAR_PRIMARY, veiled(BACKGROUND, SELECTION_OPACITY))])
        d.key("Escape")
        checks.wait("06-escaped", [("primary monitor", FAR_PRIMARY, BACKGROUND)])
        wait_count("Escapes reaching xev during the selection", xev.escapes, 0, failures)
        d.key("Escape")
        wait_count("Escapes reaching xev after the selection", xev.escapes, 1, failures)

        # After a selection cancelled before its press, clicks reach the desktop.
        d.click((x0 + x1) // 2, (y0 + y1) // 2)
        wait_count("presses reaching xev after a cancelled selection", xev.presses, 2, failures)

        # Escape in the middle of a drag.
        d.key(keys["selectMode"])
        checks.wait("07-crosshair-for-drag", [("primary monitor", FAR_PRIMARY,
                                               veiled(BACKGROUND, SELECTION_OPACITY))])
        d.xdotool("mousemove", x0, y0, "mousedown", 1, "mousemove", x0 + 60, y0 + 40)
        d.key("Escape")
        d.xdotool("mouseup", 1)
        checks.wait("08-escaped-mid-drag", [("primary monitor", FAR_PRIMARY, BACKGROUND)])
        wait_count("Escapes reaching xev during the drag", xev.escapes, 1, failures)
        d.click((x0 + x1) // 2, (y0 + y1) // 2)
        wait_count("presses reaching xev after the drag was cancelled", xev.presses, 3, failures)

        # Once the drag has ended, Escape is not ours: it reaches xev, the hole stays.
        d.key(keys["selectMode"])
        checks.wait("09-crosshair-third", [("primary monitor", FAR_PRIMARY, veiled(BACKGROUND, SELECTION_OPACITY))])
        d.drag(x0, y0, x1, y1)
        checks.wait("10-second-hole", hole("second drag"))
        d.key("Escape")
        wait_count("Escapes reaching xev with a hole shown", xev.escapes, 2, failures)
        checks.wait("11-hole-after-escape", hole("after Escape"))
        d.key(keys["closeOverlay"])
        checks.wait("12-closed", [("primary monitor", FAR_PRIMARY, BACKGROUND)])

        if program.poll() is not None:
            failures.append(f"Dimwell exited with status {program.returncode}")
        d.terminate(program)
        with open(d.log_path("Dimwell"), errors="replace") as log:
            text = log.read()
        for line in ("drag hot key", "drag start click", "end drag", "stop drag mode actually", "click out click",
                     "close hot key"):
            if line not in text:
                failures.append(f"no {line!r} in Dimwell's log")
        shutil.copy(d.log_path("Dimwell"), os.path.join(OUT_DIR, "dimwell.log"))
        shutil.copy(d.log_path("xev"), os.path.join(OUT_DIR, "xev.log"))

    for failure in failures:
        print("FAIL:", failure, file=sys.stderr)
    print(f"screenshots in {OUT_DIR}")
    return 1 if failures else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except DesktopError as e:
        print(f"FAIL: {e}", file=sys.stderr)
        sys.exit(1)
