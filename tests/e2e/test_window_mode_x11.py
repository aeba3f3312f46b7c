#!/usr/bin/env python3
"""Window mode and view mode of Dimwell on a real desktop (Xorg, openbox, picom,
a session bus with the accessibility bus).

Window mode: with the pointer over a solid red xlogo window, the window shortcut
makes the hole exactly that window with its frame (title bar clear, a few pixels
outside it dimmed); moving the window with xdotool moves the hole with it; after
the close shortcut, moving the window brings nothing back.

View mode: over the list panel of a small Qt program with accessible panels, the
view shortcut makes the hole that panel: the list is clear, the text panel beside
it, the gap between them and the title bar are dimmed.

Screenshots of every check go to $DIMWELL_BUILD_DIR/test-output/window-mode.
"""
import os
import plistlib
import select
import shutil
import subprocess
import sys
import time

SOURCE_DIR = os.environ.get("DIMWELL_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
BUILD_DIR = os.environ.get("DIMWELL_BUILD_DIR") or os.path.join(SOURCE_DIR, "build")
sys.path.insert(0, os.path.join(SOURCE_DIR, "scripts"))
from xdesktop import Desktop, DesktopError  # noqa: E402
from demo import preset_shortcuts  # noqa: E402

BINARY = os.path.join(BUILD_DIR, "bin", "Dimwell")
FIXTURE = os.path.join(BUILD_DIR, "tests", "x11", "dimwell_atspi_fixture")
OUT_DIR = os.path.join(BUILD_DIR, "test-output", "window-mode")
OPACITY = 0.8
BACKGROUND = (128, 128, 128)
STEP_TIMEOUT = 5.0
TOLERANCE = 4


def veiled(rgb):
    """What a pixel looks like under the veil."""
    return tuple(round(c * (1.0 - OPACITY)) for c in rgb)


def near(a, b):
    return all(abs(x - y) <= TOLERANCE for x, y in zip(a, b))


def frame_rect(d, window):
    """(x, y, width, height) of a window as the user sees it: inside plus openbox's frame."""
    x, y, w, h = d.window_rect(window)
    out = d.run(["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"], check=False)
    try:
        left, right, top, bottom = (int(v) for v in out.split("=", 1)[1].split(","))
    except (IndexError, ValueError):
        left = right = top = bottom = 0
    return x - left, y - top, w + left + right, h + top + bottom


def settled_frame(d, window, done, timeout=STEP_TIMEOUT):
    """The window's frame once the window manager has carried out a request
    (`done(inside)` holds for its inside rectangle)."""
    d.wait_for(lambda: done(d.window_rect(window)), timeout, "the window manager to move or resize the window")
    return frame_rect(d, window)


class Checks:
    """Named pixel expectations, retried until they all hold or time runs out."""

    def __init__(self, d, failures):
        self.d = d
        self.failures = failures

    def wait(self, label, expectations, timeout=STEP_TIMEOUT, record=True):
        """expectations: list of (what, (x, y), expected rgb). True when all held."""
        deadline = time.monotonic() + timeout
        while True:
            shot = self.d.capture()
            wrong = [f"{what} at {xy} is {shot.pixel(*xy)}, expected {want}"
                     for what, xy, want in expectations if not near(shot.pixel(*xy), want)]
            if not wrong or time.monotonic() > deadline:
                shot.save_png(os.path.join(OUT_DIR, f"{label}.png"))
                if wrong and record:
                    self.failures.extend(f"{label}: {w}" for w in wrong)
                return not wrong
            time.sleep(0.1)


def window_hole(reference, old_frame, frame, label):
    """The expectations for a hole that is exactly `frame`, whose pixels looked like
    `reference` when the window stood at `old_frame`."""
    x, y, w, h = frame
    ox, oy = old_frame[0], old_frame[1]

    def inside(rx, ry, what):
        return (f"{label} {what}", (x + rx, y + ry), reference.pixel(ox + rx, oy + ry))
    return [
        inside(w // 2, h // 2, "centre"),
        inside(w // 2, 2, "title bar"),
        inside(1, h // 2, "left frame edge"),
        inside(w - 2, h - 2, "bottom-right corner"),
        (f"{label} left of the frame", (x - 4, y + h // 2), veiled(BACKGROUND)),
        (f"{label} right of the frame", (x + w + 3, y + h // 2), veiled(BACKGROUND)),
        (f"{label} above the frame", (x + w // 2, y - 4), veiled(BACKGROUND)),
        (f"{label} below the frame", (x + w // 2, y + h + 3), veiled(BACKGROUND)),
    ]


def read_fixture(popen, timeout=10.0):
    """The fixture's description: its window id and its panels inside the window."""
    window, panels = None, []
    deadline = time.monotonic() + timeout
    buffered = b""
    while time.monotonic() < deadline:
        ready, _, _ = select.select([popen.stdout], [], [], 0.2)
        if not ready:
            continue
        chunk = os.read(popen.stdout.fileno(), 4096)
        if not chunk:
            break
        buffered += chunk
        lines = buffered.decode(errors="replace").splitlines()
        for line in lines:
            words = line.split()
            if words[:1] == ["window"]:
                window = int(words[1])
            elif words[:1] == ["panel"]:
                panels.append(tuple(int(v) for v in words[2:6]))
        if "ready" in lines:
            return window, panels
    raise DesktopError("the accessible fixture never reported its window")


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
    for path in (BINARY, FIXTURE):
        if not os.path.exists(path):
            print(f"{path} not built", file=sys.stderr)
            return 1
    shutil.rmtree(OUT_DIR, ignore_errors=True)
    os.makedirs(OUT_DIR)
    shortcuts = preset_shortcuts()
    failures = []
    with Desktop(monitors=2, atspi=True) as d:
        checks = Checks(d, failures)
        # A stored opacity marks a later run: no tutorial over the test.
        config = os.path.join(d.env()["XDG_CONFIG_HOME"], "Dimwell")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "com.Orvalen.Dimwell.plist"), "wb") as f:
            plistlib.dump({"opacity": OPACITY, "bringtofront": True, "clickout": False, "currentonly": False}, f)

        target = d.start_client(["xlogo", "-title", "target", "-bg", "red", "-fg", "red",
                                 "-geometry", "300x200+400+300"], "target")
        d.move_pointer(1500, 1000)
        time.sleep(0.5)
        reference = d.capture()

        program = d.spawn([BINARY], name="Dimwell", env=d.env({"DIMWELL_LOG_STDERR": "1"}))
        if not wait_for_log(d.log_path("Dimwell"), "Dimwell started"):
            raise DesktopError(f"Dimwell did not start, see {d.log_path('Dimwell')}")

        # Window mode: the hole is the window under the pointer, frame included.
        frame = frame_rect(d, target)
        d.move_pointer(frame[0] + frame[2] // 2, frame[1] + frame[3] // 2)
        d.key(shortcuts["windowMode"])
        checks.wait("01-window-hole", window_hole(reference, frame, frame, "window"))

        # It follows the window.
        inside = d.window_rect(target)
        d.xdotool("windowmove", target, 900, 500)
        moved = settled_frame(d, target, lambda r: r[:2] != inside[:2])
        checks.wait("02-window-moved", window_hole(reference, frame, moved, "moved window")
                    + [("where the window was", (frame[0] + 20, frame[1] + frame[3] // 2), veiled(BACKGROUND))])

        d.xdotool("windowsize", target, 360, 260)
        resized = settled_frame(d, target, lambda r: r[2:] == (360, 260))
        corner = reference.pixel(frame[0] + frame[2] - 3, frame[1] + frame[3] - 3)
        checks.wait("03-window-resized", [
            ("resized window, new bottom-right corner", (resized[0] + resized[2] - 3, resized[1] + resized[3] - 3),
             corner),
            ("resized window, inside", (resized[0] + resized[2] - 30, resized[1] + resized[3] - 30), (255, 0, 0)),
            ("below the resized window", (resized[0] + 30, resized[1] + resized[3] + 3), veiled(BACKGROUND)),
        ])

        # Again while the overlay is up: the mask windows over everything are not
        # what the pointer is over.
        d.move_pointer(resized[0] + resized[2] // 2, resized[1] + resized[3] // 2)
        d.key(shortcuts["windowMode"])
        time.sleep(0.3)
        checks.wait("04-window-again", window_hole(reference, frame, resized, "window again")[4:] + [
            ("window again, inside", (resized[0] + resized[2] // 2, resized[1] + resized[3] // 2), (255, 0, 0))])

        # Closing stops tracking: a later move brings nothing back.
        d.key(shortcuts["closeOverlay"])
        checks.wait("05-closed", [("background", (1500, 200), BACKGROUND)])
        d.xdotool("windowmove", target, 400, 300)
        time.sleep(0.7)
        checks.wait("06-closed-then-moved", [("background", (1500, 200), BACKGROUND),
                                             ("left of the window", (395, 400), BACKGROUND)], timeout=0.5)

        # View mode: the hole is the accessible panel under the pointer.
        fixture = d.spawn([FIXTURE, "--title", "panels", "--geometry", "600x400+1000+150"], name="fixture",
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        window, panels = read_fixture(fixture)
        if window is None or len(panels) != 2:
            raise DesktopError(f"the fixture described itself as {window}, {panels}")
        ix, iy, _, _ = d.window_rect(window)
        fx, fy, fw, _ = frame_rect(d, window)
        (tx, ty, tw, th), (lx, ly, lw, lh) = [(ix + x, iy + y, w, h) for x, y, w, h in panels]
        d.move_pointer(1500, 1000)
        time.sleep(1.0)
        reference = d.capture()
        pointer = (lx + lw // 2, ly + lh - 40)   # below the two list items

        def seen_as(xy, veil):
            rgb = reference.pixel(*xy)
            return veiled(rgb) if veil else rgb

        expectations = [
            ("list under the pointer", pointer, seen_as(pointer, False)),
            ("list, left part", (lx + 8, ly + lh // 2), seen_as((lx + 8, ly + lh // 2), False)),
            ("list, right part", (lx + lw - 9, ly + lh // 2), seen_as((lx + lw - 9, ly + lh // 2), False)),
            ("text panel beside it", (tx + tw // 2, ty + th // 2), seen_as((tx + tw // 2, ty + th // 2), True)),
            ("gap between the panels", (lx - 6, ly + lh // 2), seen_as((lx - 6, ly + lh // 2), True)),
            ("title bar", (fx + fw // 2, fy + 3), seen_as((fx + fw // 2, fy + 3), True)),
        ]
        d.move_pointer(*pointer)
        # The fixture may still be joining the accessibility bus: a first press
        # can see the window without its panels.
        for attempt in range(3):
            d.key(shortcuts["viewMode"])
            if checks.wait(f"07-view-hole-{attempt}", expectations, timeout=3.0, record=attempt == 2):
                break

        if program.poll() is not None:
            failures.append(f"Dimwell exited with status {program.returncode}")
        d.terminate(program)
        with open(d.log_path("Dimwell"), errors="replace") as log:
            text = log.read()
        for line in ("The current app is xlogo", "window moved", "The current app is dimwell_atspi_f",
                     "window for Dimwell layer 2147483628"):
            if line not in text:
                failures.append(f"no {line!r} in Dimwell's log")
        shutil.copy(d.log_path("Dimwell"), os.path.join(OUT_DIR, "dimwell.log"))

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
