#!/usr/bin/env python3
"""Dimwell running natively on sway (no X display): selection mode started by
its remote control ends with Escape; a selection dragged with a virtual pointer
across both outputs leaves the hole clamped to the first output and the stored
opacity everywhere else;
clicks on the veil go through while click-out is off; with click-out on, a
click in the hole reaches the window below and a click on the veil closes the
overlay and reaches nobody; window mode clears the window under the pointer;
a key bound in sway to the remote control starts selection mode; an output
added while a hole is up rebuilds the masks, and the next overlay veils it;
pattern mode clears exactly the panel under the pointer, read from the
window's pixels without the veil, also when a selection's edge crossed it;
view mode over a Qt window, whose accessible extents count from its own
corner on Wayland, clears the view under the pointer; the hole follows a window
that sway moves; keys are named by the compositor's keymap as it changes.
Exits 77 (skipped) when sway cannot start."""
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

GRAY = (128, 128, 128)
PROBE = (64, 160, 64)
WINDOW = (64, 96, 192)
PROBE_RECT = (200, 150, 200, 200)   # on HEADLESS-1, under the hole's top-left corner
DRAG_FROM, DRAG_TO = (300, 200), (1500, 500)   # ends on HEADLESS-2 (1024x768 at 1280,0)
# The drag, clamped to the output it started on; the press's own row stays veiled.
HOLE = (300, 201, 980, 299)
STEP = 10.0
ATSPI_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"


def dimmed(rgb):
    return tuple(round(c * (1 - OPACITY)) for c in rgb)


def main():
    failures = []
    try:
        d = waydesktop.SwayDesktop(outputs="1280x720,1024x768")
        d.start()
    except waydesktop.DesktopUnavailable as e:
        print(f"skipped: {e}", file=sys.stderr)
        return waydesktop.SKIP_STATUS
    try:
        programs = {name: d.install(os.path.join(BIN, name))
                    for name in ("Dimwell", "dimwell_wayland_pointer", "dimwell_wayland_probe",
                                 "dimwell_wayland_toplevel")}
        bus = d.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE)
        bus_env = {"DBUS_SESSION_BUS_ADDRESS": Lines(bus).next(STEP), "DIMWELL_LOG_STDERR": "1"}
        # The accessibility bus, up before Dimwell asks for it.
        d.spawn([ATSPI_LAUNCHER, "--launch-immediately"], name="at-spi", extra_env=bus_env)
        views = d.install(os.path.join(BIN, "..", "tests", "x11", "dimwell_atspi_fixture"))
        # The compositor's shortcut, as users bind it: sway runs it on its own session
        # bus, so a script names Dimwell's (the address holds commas, which sway splits on).
        select_key = os.path.join(d.dir, "bin", "select-mode")
        with open(select_key, "w") as f:
            f.write(f"#!/bin/sh\nDBUS_SESSION_BUS_ADDRESS='{bus_env['DBUS_SESSION_BUS_ADDRESS']}' "
                    f"exec {programs['Dimwell']} --action selectMode\n")
        os.chmod(select_key, 0o755)
        d.swaymsg("bindsym", "ctrl+shift+z", "exec", select_key)
        prefs = write_prefs(d)
        if os.geteuid() == 0:
            owner = waydesktop.ensure_user(d.user)
            for path in (os.path.dirname(prefs), prefs):
                os.chown(path, owner.pw_uid, owner.pw_gid)

        probe = d.spawn([programs["dimwell_wayland_probe"], *map(str, PROBE_RECT)], stdout=subprocess.PIPE)
        clicks = Lines(probe)
        clicks.expect("ready")
        d.spawn([programs["Dimwell"]], name="Dimwell", extra_env=bus_env)
        if not wait_until(lambda: "Dimwell: Dimwell started" in log(d), STEP):
            raise waydesktop.DesktopError("Dimwell did not start")
        if "compositor's" not in log(d):
            failures.append("no advice to bind the shortcuts in the compositor")

        pointer = d.spawn([programs["dimwell_wayland_pointer"], *map(str, d.layout_size())],
                          stdin=subprocess.PIPE, stdout=subprocess.PIPE, name="pointer")
        answers = Lines(pointer)
        answers.expect("ready")
        clicks.expect("pointer")

        def do(*commands):
            for command in commands:
                pointer.stdin.write(command.encode() + b"\n")
                pointer.stdin.flush()
                answers.expect("ok", STEP)

        def action(name):
            cmd, env = d.command([programs["Dimwell"], "--action", name], bus_env)
            done = subprocess.run(cmd, env=env, capture_output=True, text=True, timeout=STEP, cwd=d.dir)
            if done.returncode != 0:
                raise waydesktop.DesktopError(f"--action {name}: {done.stderr.strip()}")

        def expect(output, checks, what):
            wrong = []

            def settled():
                shot = d.screenshot(output=output)
                wrong[:] = [f"{name} at {x},{y}: {shot.pixel(x, y)}, want {rgb}" for x, y, rgb, name in checks
                            if any(abs(g - w) > 2 for g, w in zip(shot.pixel(x, y), rgb))]
                return not wrong
            if not wait_until(settled, 5.0):
                failures.append(f"{what} on {output}: {wrong}")

        do(f"move {DRAG_FROM[0] - 50} {DRAG_FROM[1] - 50}")
        selecting = [(900, 700, tuple(round(c * 0.5) for c in GRAY), "selection veil")]
        action("selectMode")
        expect("HEADLESS-2", selecting, "selection mode")
        # wtype makes its keyboard first; the pause lets the masks see it before the key.
        d.run(["wtype", "-s", "500", "-k", "Escape"])
        expect("HEADLESS-2", [(900, 700, GRAY, "no veil")], "selection mode ended by Escape")
        d.run(["wtype", "-M", "ctrl", "-M", "shift", "z", "-m", "shift", "-m", "ctrl"])
        expect("HEADLESS-2", selecting, "selection mode by the key bound in sway")
        d.run(["wtype", "-s", "500", "-k", "Escape"])
        expect("HEADLESS-2", [(900, 700, GRAY, "no veil")], "selection mode from the key ended by Escape")
        action("selectMode")
        expect("HEADLESS-2", selecting, "selection mode again")
        # The drag crosses onto the second output; the first keeps its motion.
        steps = [f"move {DRAG_FROM[0] + (DRAG_TO[0] - DRAG_FROM[0]) * i // 6} "
                 f"{DRAG_FROM[1] + (DRAG_TO[1] - DRAG_FROM[1]) * i // 6}" for i in range(1, 7)]
        do(f"move {DRAG_FROM[0]} {DRAG_FROM[1]}", "press", *steps, "release")
        x, y, w, h = HOLE
        expect("HEADLESS-1", [(x, y, PROBE, "hole top-left"), (x - 1, y, dimmed(PROBE), "left of the hole"),
                              (x, y - 1, dimmed(PROBE), "above the hole"),
                              (x + w - 1, y + h - 1, GRAY, "hole bottom-right"),
                              (x + w - 2, y + h, dimmed(GRAY), "below the hole"),
                              (1000, 650, dimmed(GRAY), "veil")], "the dragged hole")
        expect("HEADLESS-2", [(10, 300, dimmed(GRAY), "veil past the drag"),
                              (500, 700, dimmed(GRAY), "veil")], "the second output veiled")

        veil, hole = (250, 300), (350, 300)   # both over the probe
        do(f"click {veil[0]} {veil[1]}")
        if clicks.pending() != ["click 50 150"]:
            failures.append("with click-out off, a click on the veil does not reach the window below")
        action("clickoutToggle")
        time.sleep(0.5)   # the answer may come before the masks' new input regions reach sway
        do(f"click {hole[0]} {hole[1]}", f"click {veil[0]} {veil[1]}")
        seen = clicks.pending()
        if seen != ["click 150 150"]:
            failures.append(f"with click-out on, the window below saw {seen}, want only the click in the hole")
        expect("HEADLESS-1", [(1000, 650, GRAY, "no veil")], "the overlay closed by a click on the veil")
        expect("HEADLESS-2", [(500, 700, GRAY, "no veil")], "the overlay closed by a click on the veil")

        # Window mode finds the window under a pointer that no mask has seen there.
        window = d.spawn([programs["dimwell_wayland_toplevel"], "dimwell.window", "300", "200"],
                         stdout=subprocess.PIPE)
        Lines(window).next(STEP)
        d.swaymsg("[app_id=dimwell.window] move position 700 100")

        # View mode over a Qt window (two views side by side), placed away from the
        # layout's corner: the hole is the list under the pointer, not the window.
        qt = d.spawn([views, "--geometry", "600x400+0+0"], stdout=subprocess.PIPE,
                     extra_env={**bus_env, "QT_QPA_PLATFORM": "wayland", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})
        said = Lines(qt)
        said.next(STEP)   # its window id
        text, listing = ([int(v) for v in said.next(STEP).split()[2:]] for _ in range(2))
        said.expect("ready")
        d.swaymsg("[app_id=dimwell_atspi_fixture] move position 50 300")
        action("closeOverlay")
        time.sleep(1.0)   # past the grace period a newly met application gets
        reference = d.screenshot(output="HEADLESS-1")

        def at(view, what, clear):
            x, y = 50 + view[0] + view[2] // 2, 300 + view[1] + view[3] // 2
            rgb = reference.pixel(x, y)
            return (x, y, rgb if clear else dimmed(rgb), what)
        do(f"move {50 + listing[0] + listing[2] // 2} {300 + listing[1] + listing[3] * 3 // 4}")
        action("viewMode")
        expect("HEADLESS-1", [at(listing, "the list", True), at(text, "the text beside it", False),
                              at((0, 0, 8, 400), "the window's margin", False)], "view mode")
        do("move 800 200")
        action("windowMode")
        expect("HEADLESS-1", [(700, 150, WINDOW, "window in the hole"), (699, 150, dimmed(GRAY), "left of it"),
                              (1000, 150, dimmed(GRAY), "right of it")], "window mode")
        # Pattern mode over two outlined panels (the fixture's, at 20 + 220 i, 50
        # to 219 + 220 i, 299): a selection's edge cuts the first panel first, and
        # its hole must not be read as a border there.
        panels = d.spawn([programs["dimwell_wayland_toplevel"], "dimwell.panels", "480", "320", "panels"],
                         stdout=subprocess.PIPE)
        Lines(panels).next(STEP)
        d.swaymsg("[app_id=dimwell.panels] move position 760 380")
        action("selectMode")
        do("move 600 400", "press", "move 740 480", "move 880 560", "release")
        page, inside = (236,) * 3, (255,) * 3

        def panel(i):
            x0, y0, x1, y1 = 780 + 220 * i, 430, 979 + 220 * i, 679
            return [(x0 + 1, y0 + 1, inside, "inside top-left"), (x1 - 1, y0 + 1, inside, "inside top-right"),
                    (x0 + 1, y1 - 1, inside, "inside bottom-left"), (x1 - 1, y1 - 1, inside, "inside bottom-right"),
                    (x0 - 5, 555, dimmed(page), "page beside"),
                    (1100 - 220 * i, 555, dimmed(inside), "the other panel")]
        for i, aim in enumerate([(830, 500), (1120, 620)]):   # the first inside the selection's hole
            do(f"move {aim[0]} {aim[1]}")
            action("patternMode")
            expect("HEADLESS-1", panel(i), f"pattern mode over panel {i + 1}")
        do("move 800 200")
        action("windowMode")
        # An output plugged in while the hole is up rebuilds the masks (hidden); the
        # next overlay veils the new output too.
        added = d.create_output(position=(d.layout_size()[0], 0))
        expect("HEADLESS-1", [(1000, 150, GRAY, "no veil")], "the masks rebuilt for the added output")
        action("windowMode")
        expect(added, [(100, 100, dimmed(GRAY), "veil"), (500, 400, dimmed(GRAY), "veil")], "the added output")
        expect("HEADLESS-1", [(700, 150, WINDOW, "window in the hole"), (699, 150, dimmed(GRAY), "left of it")],
               "window mode after an output was added")
        # The hole follows the window when sway moves it.
        d.swaymsg("[app_id=dimwell.window] move position 600 100")
        expect("HEADLESS-1", [(620, 150, WINDOW, "window in the hole"), (950, 150, dimmed(GRAY), "where it was")],
               "the hole following the window")
        # Keys are named by the compositor's keymap, and renamed when it changes: the
        # key stored for US "Z" types Y on German, W on French.
        names = Lines(d.spawn([d.install(os.path.join(BIN, "dimwell_wayland_key_names")), "6", "de", "fr"],
                              stdout=subprocess.PIPE))
        for wanted in ("de Y", "fr W"):
            try:
                names.expect(wanted, STEP)
            except AssertionError as e:
                failures.append(f"key names from the compositor's keymap: {e}")
    except waydesktop.DesktopError as e:
        failures.append(str(e))
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
