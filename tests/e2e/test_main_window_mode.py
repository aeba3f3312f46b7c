#!/usr/bin/env python3
"""Window mode with "bring to front" off: the window shortcut highlights the
active window wherever the pointer is, raises nothing, and follows that window.

Two xlogo windows, red (active) and blue; the pointer rests over the blue one.
"""
import os
import plistlib
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_window_mode_x11 as wm  # noqa: E402
from test_window_mode_x11 import (BACKGROUND, BINARY, Checks, Desktop, DesktopError, frame_rect,  # noqa: E402
                                  preset_shortcuts, settled_frame, veiled, wait_for_log, window_hole)

OUT_DIR = os.path.join(wm.BUILD_DIR, "test-output", "main-window-mode")


def main():
    if not os.path.exists(BINARY):
        print(f"{BINARY} not built", file=sys.stderr)
        return 1
    shutil.rmtree(OUT_DIR, ignore_errors=True)
    os.makedirs(OUT_DIR)
    wm.OUT_DIR = OUT_DIR
    shortcuts = preset_shortcuts()
    failures = []
    with Desktop(monitors=2) as d:
        checks = Checks(d, failures)
        config = os.path.join(d.env()["XDG_CONFIG_HOME"], "Dimwell")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "com.Orvalen.Dimwell.plist"), "wb") as f:
            plistlib.dump({"opacity": wm.OPACITY, "bringtofront": False, "clickout": False,
                           "currentonly": False}, f)

        active = d.start_client(["xlogo", "-title", "active", "-bg", "red", "-fg", "red",
                                 "-geometry", "300x200+300+300"], "active")
        other = d.start_client(["xlogo", "-title", "other", "-bg", "blue", "-fg", "blue",
                                "-geometry", "300x200+900+300"], "other")
        d.activate(active)
        d.move_pointer(1500, 1000)
        d.wait_for(lambda: d.run(["xdotool", "getactivewindow"], check=False).strip() == str(active),
                   5, "the red window to become active")
        reference = d.capture()

        program = d.spawn([BINARY], name="Dimwell", env=d.env({"DIMWELL_LOG_STDERR": "1"}))
        if not wait_for_log(d.log_path("Dimwell"), "Dimwell started"):
            raise DesktopError(f"Dimwell did not start, see {d.log_path('Dimwell')}")

        frame = frame_rect(d, active)
        ox, oy, ow, oh = frame_rect(d, other)
        d.move_pointer(ox + ow // 2, oy + oh // 2)
        d.key(shortcuts["windowMode"])
        checks.wait("01-active-window-hole", window_hole(reference, frame, frame, "active window") + [
            ("window under the pointer", (ox + ow // 2, oy + oh // 2), veiled((0, 0, 255)))])
        if d.run(["xdotool", "getactivewindow"], check=False).strip() != str(active):
            failures.append("the window under the pointer was brought to the front")

        inside = d.window_rect(active)
        d.xdotool("windowmove", active, 400, 600)
        moved = settled_frame(d, active, lambda r: r[:2] != inside[:2])
        checks.wait("02-active-window-moved", window_hole(reference, frame, moved, "moved active window") + [
            ("where it was", (frame[0] + 20, frame[1] + 20), veiled(BACKGROUND))])

        d.terminate(program)
        with open(d.log_path("Dimwell"), errors="replace") as log:
            text = log.read()
        for line in ("active app: xlogo", "window bounds:", "window moved"):
            if line not in text:
                failures.append(f"no {line!r} in Dimwell's log")

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
