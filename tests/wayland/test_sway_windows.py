#!/usr/bin/env python3
"""The window list and window tracking on a real headless sway, through its IPC
socket: rectangles as drawn (title bar and borders included), front-to-back
order, process ids, moves and resizes reported within a display refresh, a
closed window no longer tracked, and a missing or silent sway answered with an
empty list and one log line, in bounded time. Exits 77 (skipped) when sway
cannot start on this machine."""
import os
import socket
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wayland_session import BIN, GRAY, Lines, run_cases, waydesktop  # noqa: E402

IPC_TIMEOUT = 1.0      # the provider's own deadline for one request
SLACK = 0.05           # scheduling on a busy machine, on top of one refresh period


class Client(Lines):
    """dimwell_wayland_sway_windows, one command and its answer lines at a time."""

    def __init__(self, desktop, program, *args, extra_env=None):
        super().__init__(desktop.spawn([program, *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                       name="sway_windows", extra_env=extra_env))

    def ask(self, text, timeout=5.0):
        self.popen.stdin.write(text.encode() + b"\n")
        self.popen.stdin.flush()
        return self.next(timeout)

    def windows(self, timeout=5.0):
        """id -> (pid, (x, y, w, h)), in the order listed; and the log lines seen."""
        listed, logs = {}, []
        line = self.ask("list", timeout)
        while line != "end":
            if line is None:
                raise AssertionError("the list did not end")
            kind, *fields = line.split(" ")
            if kind == "log":
                logs.append(line)
            else:
                wid, pid, *rect = fields
                listed[int(wid)] = (int(pid), tuple(float(v) for v in rect))
            line = self.next(timeout)
        return listed, logs


class SwayWindows(unittest.TestCase):
    desktop = None

    @classmethod
    def setUpClass(cls):
        d = cls.desktop
        cls.toplevel = d.install(os.path.join(BIN, "dimwell_wayland_toplevel"))
        cls.program = d.install(os.path.join(BIN, "dimwell_wayland_sway_windows"))
        cls.pids, cls.popens = {}, {}
        for app_id, size, border, position in (("win-a", (300, 200), "normal 3", (100, 100)),
                                               ("win-b", (250, 150), "pixel 5", (1400, 200))):
            cls.open_window(app_id, size)
            d.swaymsg(f"[app_id={app_id}] border {border}")
            d.swaymsg(f"[app_id={app_id}] move absolute position {position[0]} {position[1]}")
        cls.ids = {w["app_id"]: w["id"] for w in cls.views()}
        cls.client = Client(d, cls.program)

    @classmethod
    def open_window(cls, app_id, size):
        popen = cls.desktop.spawn([cls.toplevel, app_id, *map(str, size)], stdout=subprocess.PIPE, name=app_id)
        cls.pids[app_id], cls.popens[app_id] = int(Lines(popen).expect("ready ").split()[1]), popen

    @classmethod
    def views(cls):
        def walk(node):
            if node.get("app_id"):
                yield node
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                yield from walk(child)
        return list(walk(cls.desktop.swaymsg(kind="get_tree")))

    def order(self):
        listed, _ = self.client.windows()
        by_id = {v: k for k, v in self.ids.items()}
        return [by_id.get(wid, wid) for wid in listed]

    def test_1_rectangles_as_drawn_with_decorations_and_pids(self):
        listed, logs = self.client.windows()
        self.assertEqual(logs, [])
        self.assertEqual(set(listed), set(self.ids.values()))
        shot = self.desktop.screenshot()
        for app_id, wid in self.ids.items():
            pid, (x, y, w, h) = listed[wid]
            self.assertEqual(pid, self.pids[app_id], app_id)
            x, y, w, h = int(x), int(y), int(w), int(h)
            inside = [(x, y), (x + w - 1, y), (x, y + h - 1), (x + w - 1, y + h - 1)]
            outside = [(x - 1, y), (x, y - 1), (x + w, y + h - 1), (x + w - 1, y + h)]
            self.assertTrue(all(shot.pixel(px, py) != GRAY for px, py in inside), f"{app_id} drawn to its corners")
            self.assertTrue(all(shot.pixel(px, py) == GRAY for px, py in outside), f"{app_id} drawn no further")
        self.assertGreater(listed[self.ids["win-b"]][1][0], 1280, "global layout coordinates")

    def test_2_front_to_back(self):
        d = self.desktop
        self.open_window("win-c", (200, 100))
        self.ids["win-c"] = next(v["id"] for v in self.views() if v["app_id"] == "win-c")
        d.swaymsg("[app_id=win-b] move absolute position 150 150")   # over win-a
        d.swaymsg("[app_id=win-c] move absolute position 200 200")
        self.assertEqual(self.client.ask(f"front {self.ids['win-a']}"), "ok")
        self.assertEqual(self.order(), ["win-a", "win-c", "win-b"])
        d.swaymsg("[app_id=win-c] focus")
        d.swaymsg("[app_id=win-b] focus")
        self.assertEqual(self.order(), ["win-b", "win-c", "win-a"])
        # A tiled window lies behind the floating ones; on a hidden workspace it is not listed.
        d.swaymsg("[app_id=win-c] floating disable")
        self.assertEqual(self.order(), ["win-b", "win-a", "win-c"])
        d.swaymsg("[app_id=win-c] move to workspace 9")
        self.assertEqual(self.order(), ["win-b", "win-a"])

    def test_3_tracking_moves_resizes_until_closed(self):
        d = self.desktop
        wid = self.ids["win-a"]
        self.assertEqual(self.client.ask(f"track {wid}"), "tracking")
        tracked, period = self.client.ask("state").split()[1::2]
        self.assertEqual(tracked, "1")
        period = int(period) / 1000.0
        self.assertLessEqual(period, 0.017, "polled at the display's refresh")
        for change, kind in (("move absolute position 500 300", "moved"), ("resize set 400 300", "resized")):
            d.swaymsg(f"[app_id=win-a] {change}")
            applied = time.monotonic()
            report = self.client.next(1.0)
            self.assertIsNotNone(report, f"no report of {change}")
            name, rid, *fields = report.split()
            self.assertEqual((name, int(rid)), (kind, wid))
            self.assertLessEqual(float(fields[-1]) - applied, period + SLACK, f"{kind} reported late")
            listed, _ = self.client.windows()
            self.assertEqual(tuple(float(v) for v in fields[:4]), listed[wid][1])
        closed = self.popens.pop("win-a")
        d.terminate(closed)
        closed.stdout.close()
        deadline = time.monotonic() + 2.0
        while (state := self.client.ask("state")) != "tracked 0 every none" and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertEqual(state, "tracked 0 every none", "a closed window is no longer tracked, nothing polls")
        self.assertEqual(self.client.pending(0.2), [])

    def test_4_no_sway_or_a_silent_one(self):
        d = self.desktop
        unset = Client(d, self.program, extra_env={"SWAYSOCK": "", "I3SOCK": ""})
        listed, logs = unset.windows()
        self.assertEqual(listed, {})
        self.assertEqual(len(logs), 1, "said once, at start")
        self.assertIn("SWAYSOCK", logs[0])

        path = os.path.join(d.dir, "silent.sock")
        server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        server.bind(path)
        os.chmod(path, 0o777)
        server.listen(4)
        server.settimeout(5.0)
        try:
            silent = Client(d, self.program, path)
            for attempt in range(2):
                started = time.monotonic()
                listed, logs = silent.windows(timeout=IPC_TIMEOUT + 3.0)
                self.assertLess(time.monotonic() - started, IPC_TIMEOUT + 1.0, "bounded in time")
                self.assertEqual(listed, {})
                self.assertEqual(len(logs), 1 - attempt, "one log line for the outage")
                conn, _ = server.accept()   # each call connects anew after a failure
                conn.close()
        finally:
            server.close()
        started = time.monotonic()   # a sway that died: its socket refuses at once
        self.assertEqual(silent.windows(), ({}, []))
        self.assertLess(time.monotonic() - started, IPC_TIMEOUT / 2)


if __name__ == "__main__":
    sys.exit(run_cases(waydesktop.SwayDesktop(), SwayWindows,
                       lambda desktop: desktop.swaymsg("default_floating_border normal 3")))
