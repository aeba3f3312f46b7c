#!/usr/bin/env python3
"""Dimwell running natively on KWin (headless, Plasma 5.27+): window mode started
by the remote control puts the hole exactly on KWin's frame of the window under
the pointer, behind another window, and brings it to the front; moving that
window with a KWin script moves the hole; once it closes the hole stays put and
follows no other window. View mode finds the view under the pointer in a Qt
window. Dimwell's window script leaves KWin when Dimwell quits and is back when
it starts again; with the script silent, window mode falls back at once, and
says so once.
Exits 77 (skipped) when KWin cannot start."""
import os
import subprocess
import sys
import time

SOURCE = os.environ.get("DIMWELL_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
BIN = os.path.join(os.environ.get("DIMWELL_BUILD_DIR", "build"), "bin")
sys.path.insert(0, os.path.join(SOURCE, "scripts"))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
import waydesktop  # noqa: E402
from e2e_support import OPACITY, write_prefs  # noqa: E402
from test_wayland_masks import Lines  # noqa: E402

BLUE = (64, 96, 192)       # the plain toplevel
PAGE = (236, 236, 236)     # the toplevel with panels, above its panels (its top 50 rows)
BACK = (300, 150, 400, 300)    # the blue window, partly under the other
FRONT = (500, 130, 400, 300)   # every pixel checked on it is on its page
STEP = 10.0


def dimmed(rgb):
    return tuple(round(c * (1 - OPACITY)) for c in rgb)


def main():
    failures = []
    try:
        d = waydesktop.KWinDesktop(os.path.join(BIN, "dimwell_kwin_screenshot"))
        d.start()
    except waydesktop.DesktopUnavailable as e:
        print(f"skipped: {e}", file=sys.stderr)
        return waydesktop.SKIP_STATUS
    try:
        programs = {name: d.install(os.path.join(BIN, name))
                    for name in ("Dimwell", "dimwell_kwin_pointer", "dimwell_wayland_toplevel")}
        prefs = write_prefs(d)
        if os.geteuid() == 0:
            owner = waydesktop.ensure_user(d.user)
            for path in (os.path.dirname(prefs), prefs):
                os.chown(path, owner.pw_uid, owner.pw_gid)
        windows = {}
        for app_id, extra in (("dimwell.back", []), ("dimwell.front", ["panels"])):
            windows[app_id] = d.spawn([programs["dimwell_wayland_toplevel"], app_id, "400", "300", *extra],
                                      stdout=subprocess.PIPE, name=app_id)
            if not (Lines(windows[app_id]).next(STEP) or "").startswith("ready"):
                raise waydesktop.DesktopError(f"{app_id} did not show")
        d.place("dimwell.back", *BACK)
        d.place("dimwell.front", *FRONT)

        dimwell = d.spawn([programs["Dimwell"]], name="Dimwell", extra_env={"DIMWELL_LOG_STDERR": "1"})
        if not wait_until(lambda: "Dimwell: Dimwell started" in log(d), STEP):
            raise waydesktop.DesktopError("Dimwell did not start")
        pointer = d.spawn([programs["dimwell_kwin_pointer"]], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                          name="pointer")
        answers = Lines(pointer)
        answers.expect("ready")

        def move(x, y):
            pointer.stdin.write(f"move {x} {y}\n".encode())
            pointer.stdin.flush()
            answers.expect("ok", STEP)

        move(350, 300)   # over the blue window only

        def expect(checks, what):
            wrong = []

            def settled():
                shot = d.screenshot()
                wrong[:] = [f"{name} at {x},{y}: {shot.pixel(x, y)}, want {rgb}" for x, y, rgb, name in checks
                            if any(abs(g - w) > 2 for g, w in zip(shot.pixel(x, y), rgb))]
                return not wrong
            if not wait_until(settled, 5.0):
                failures.append(f"{what}: {wrong}")

        def hole_on(x, y, w, h, what):
            # The blue window in front inside the hole, the other one veiled just
            # past its top and right edges.
            expect([(x, y, BLUE, "top-left corner"), (x + w - 1, y + h - 1, BLUE, "bottom-right corner"),
                    (x + w - 20, y + 20, BLUE, "where the windows overlap"),
                    (x + w, y + 10, dimmed(PAGE), "right of the hole"),
                    (x + w - 20, y - 1, dimmed(PAGE), "above the hole")], what)

        def action(name):
            cmd, env = d.command([programs["Dimwell"], "--action", name])
            done = subprocess.run(cmd, env=env, capture_output=True, text=True, timeout=STEP, cwd=d.dir)
            if done.returncode != 0:
                raise waydesktop.DesktopError(f"--action {name}: {done.stderr.strip()}")

        action("windowMode")
        hole_on(*BACK, "window mode on the window under the pointer")

        moved = (BACK[0] + 20, BACK[1] - 10, BACK[2], BACK[3])
        d.place("dimwell.back", *moved)
        hole_on(*moved, "the hole after the window moved")

        d.terminate(windows["dimwell.back"])
        x, y, w, h = moved
        expect([(x + w - 20, y + 20, PAGE, "the window behind, in the hole"),
                (x + w + 20, y + 20, dimmed(PAGE), "right of the hole")], "the hole after the window closed")
        d.place("dimwell.front", FRONT[0] + 50, FRONT[1], FRONT[2], FRONT[3])
        expect([(x + w + 20, y + 20, dimmed(PAGE), "right of the hole"),
                (x + w - 20, y + 20, PAGE, "in the hole")], "the hole once the other window moved")

        # View mode over a Qt window (two views side by side): the hole is the list under the pointer.
        qt = d.spawn([d.install(os.path.join(BIN, "..", "tests", "x11", "dimwell_atspi_fixture")),
                      "--geometry", "600x400+0+0"], stdout=subprocess.PIPE,
                     extra_env={"QT_QPA_PLATFORM": "wayland", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})
        said = Lines(qt)
        said.next(STEP)   # its window id
        text, listing = ([int(v) for v in said.next(STEP).split()[2:]] for _ in range(2))
        said.expect("ready")
        d.place("dimwell_atspi_fixture", 1400, 100, 600, 400)
        action("closeOverlay")
        time.sleep(1.0)   # past the grace period a newly met application gets
        reference = d.screenshot()

        def at(view, what, clear):
            x, y = 1400 + view[0] + view[2] // 2, 100 + view[1] + view[3] // 2
            rgb = reference.pixel(x, y)
            return (x, y, rgb if clear else dimmed(rgb), what)
        move(1400 + listing[0] + listing[2] // 2, 100 + listing[1] + listing[3] * 3 // 4)
        action("viewMode")
        expect([at(listing, "the list", True), at(text, "the text beside it", False)], "view mode")

        action("quit")
        dimwell.wait(STEP)
        if d.script_loaded("dimwell-windows"):
            failures.append("Dimwell's window script is still in KWin after Dimwell quit")

        # A script that stops answering: window mode falls back without hanging, said once.
        d.spawn([programs["Dimwell"]], name="Dimwell", extra_env={"DIMWELL_LOG_STDERR": "1"})
        if not wait_until(lambda: log(d).count("Dimwell: Dimwell started") == 2 and
                          d.script_loaded("dimwell-windows"), STEP):
            raise waydesktop.DesktopError("Dimwell did not start again with its window script")
        d.bus_call("/Scripting", "org.kde.kwin.Scripting.unloadScript", "string:dimwell-windows")
        move(800, 200)   # over the window left, which the silent script's last list still holds
        chosen = log(d).count("The current app is")
        for _ in range(2):
            started = time.monotonic()
            action("windowMode")
            action("windowMode")   # answered only once the first has run
            if time.monotonic() - started > 3.0:
                failures.append("window mode waited on a silent script")
        if log(d).count("The current app is") != chosen:
            failures.append("window mode used the list of a script that does not answer")
        if log(d).count("window script does not answer") != 1:
            failures.append("a silent script is not reported exactly once")
    except (waydesktop.DesktopError, AssertionError) as e:
        failures.append(str(e) or type(e).__name__)
    finally:
        d.stop(failed=bool(failures))
    for failure in failures:
        print(f"FAIL: {failure}", file=sys.stderr)
    if failures:
        print("Dimwell's log:\n" + log(d), file=sys.stderr)
    return 1 if failures else 0


def wait_until(condition, timeout):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.2)
    return True


def log(d):
    try:
        with open(d.log_path("Dimwell"), errors="replace") as f:
            return f.read()
    except OSError:
        return ""


if __name__ == "__main__":
    sys.exit(main())
