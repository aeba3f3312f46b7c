#!/usr/bin/python3
"""How far window mode's hole trails a window that sway moves, on a fresh headless
sway (scripts/waydesktop.py).

With the hole on a window, `swaymsg [app_id=...] move position` moves the window
back and forth; a pixel that only the window's new place covers is read frame by
frame with wlr-screencopy (dimwell_pixel_watch), which times the window's arrival
there (veiled) and the hole's (clear). Prints the median and 90th percentile of
both and of the trail between them, next to the X11 target (the hole within one
240 Hz frame, 4.2 ms, of the window). Copies come once per output frame, so the
trail comes in steps of sway's frame time (60 Hz headless: 16.7 ms).

    bench/wayland/trailing.py [--build DIR] [--moves N]
"""
import argparse
import os
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "scripts"))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
sys.path.insert(0, os.path.join(SOURCE, "tests", "wayland"))
import waydesktop  # noqa: E402
from e2e_support import OPACITY, write_prefs  # noqa: E402
from test_wayland_masks import Lines  # noqa: E402

WINDOW = (64, 96, 192)          # the toplevel fixture's colour
PLACES = [(100, 100), (700, 400)]
SIZE = (300, 200)
TRAIL_TARGET = 4.2              # ms, the X11 figure's target
TIMEOUT = 2.0


def dimmed(rgb):
    return tuple(round(c * (1 - OPACITY)) for c in rgb)


def close(a, b):
    return all(abs(x - y) <= 3 for x, y in zip(a, b))


class PixelWatch:
    """The changes of one screen pixel, (CLOCK_MONOTONIC seconds, rgb), as a watcher reports them."""

    def __init__(self, d, program, x, y):
        self.changes, self.lock = [], threading.Lock()
        self.popen = d.spawn([program, str(x), str(y)], stdout=subprocess.PIPE, name=f"watch-{x}-{y}")
        self.ready = threading.Event()
        threading.Thread(target=self._read, daemon=True).start()
        if not self.ready.wait(10):
            raise waydesktop.DesktopError(f"the pixel watcher at {x},{y} did not start")

    def _read(self):
        for line in self.popen.stdout:
            words = line.split()
            if words == [b"ready"]:
                self.ready.set()
            elif len(words) == 4:
                with self.lock:
                    self.changes.append((float(words[0]), tuple(int(v) for v in words[1:])))

    def first(self, since, wanted):
        """When the pixel first became one of `wanted` after `since`; None if not yet."""
        with self.lock:
            return next((t for t, rgb in self.changes if t >= since and any(close(rgb, w) for w in wanted)), None)

    def now(self):
        with self.lock:
            return self.changes[-1][1] if self.changes else None


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"))
    parser.add_argument("--moves", type=int, default=40)
    args = parser.parse_args()
    binaries = os.path.join(os.path.abspath(args.build), "bin")

    d = waydesktop.SwayDesktop(outputs="1280x720")
    try:
        d.start()
    except waydesktop.DesktopUnavailable as e:
        print(f"sway cannot start here: {e}", file=sys.stderr)
        return 77
    try:
        programs = {name: d.install(os.path.join(binaries, name))
                    for name in ("Dimwell", "dimwell_wayland_pointer", "dimwell_wayland_toplevel",
                                 "dimwell_pixel_watch")}
        bus = d.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE)
        env = {"DBUS_SESSION_BUS_ADDRESS": Lines(bus).next(10), "DIMWELL_LOG_STDERR": "1"}
        write_prefs(d)
        d.spawn([programs["Dimwell"]], name="Dimwell", extra_env=env)
        window = d.spawn([programs["dimwell_wayland_toplevel"], "dimwell.bench", *map(str, SIZE)],
                         stdout=subprocess.PIPE)
        Lines(window).next(10)
        d.swaymsg("[app_id=dimwell.bench]", "move", "position", *map(str, PLACES[0]))
        pointer = d.spawn([programs["dimwell_wayland_pointer"], *map(str, d.layout_size())],
                          stdin=subprocess.PIPE, stdout=subprocess.PIPE, name="pointer")
        answers = Lines(pointer)
        answers.expect("ready")
        pointer.stdin.write(f"move {PLACES[0][0] + 50} {PLACES[0][1] + 50}\n".encode())
        pointer.stdin.flush()
        answers.expect("ok")
        time.sleep(1.0)   # Dimwell up and on the bus

        cmd, cmd_env = d.command([programs["Dimwell"], "--action", "windowMode"], env)
        subprocess.run(cmd, env=cmd_env, capture_output=True, timeout=10, cwd=d.dir, check=True)
        centre = [(x + SIZE[0] // 2, y + SIZE[1] // 2) for x, y in PLACES]
        watches = [PixelWatch(d, programs["dimwell_pixel_watch"], *c) for c in centre]
        deadline = time.monotonic() + 5
        while not close(watches[0].now() or (0, 0, 0), WINDOW):
            if time.monotonic() > deadline:
                raise waydesktop.DesktopError("window mode put no hole on the window")
            time.sleep(0.1)

        window_ms, hole_ms, trail_ms = [], [], []
        for i in range(args.moves):
            to = (i + 1) % 2
            start = time.monotonic()
            d.swaymsg("[app_id=dimwell.bench]", "move", "position", *map(str, PLACES[to]))
            while time.monotonic() - start < TIMEOUT and watches[to].first(start, [WINDOW]) is None:
                time.sleep(0.02)
            arrived, clear = watches[to].first(start, [WINDOW, dimmed(WINDOW)]), watches[to].first(start, [WINDOW])
            if clear is None:
                print(f"move {i + 1}: the hole did not arrive within {TIMEOUT:g} s", file=sys.stderr)
                continue
            window_ms.append((arrived - start) * 1000)
            hole_ms.append((clear - start) * 1000)
            trail_ms.append((clear - arrived) * 1000)
            time.sleep(0.1)   # the hole settles before the next move
    finally:
        d.stop()

    if not trail_ms:
        print("no move was followed by the hole", file=sys.stderr)
        return 1
    print(f"sway, {len(trail_ms)} of {args.moves} moves (ms from the move request):")
    for name, values in (("window at its new place", window_ms), ("hole there", hole_ms),
                         ("hole trails the window", trail_ms)):
        print(f"  {name:24s} median {statistics.median(values):6.1f}  p90 {percentile(values, 0.9):6.1f}")
    print(f"  X11 target: the hole trails by under {TRAIL_TARGET} ms at the median (bench/latency/latency.py)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
