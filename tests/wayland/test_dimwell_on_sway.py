#!/usr/bin/env python3
"""Dimwell running natively on sway (no X display), driven by its remote control,
a key bound in sway and a virtual pointer: selection mode ends with Escape; a drag
across both outputs leaves the hole clamped to the first; clicks on the veil go
through while click-out is off, and with it on only a click in the hole does;
window mode, view mode and pattern mode (also where a selection's edge crossed
the panel); the hole follows a window that sway moves; an output added while a
hole is up; keys named by the compositor's keymap as it changes; with
bring-to-front off, window mode on the focused window.
Exits 77 (skipped) when sway cannot start."""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wayland_session import (BIN, BLUE, GRAY, STEP, Lines, run, veiled, wait_until, waydesktop,  # noqa: E402
                             write_prefs)

PROBE_RECT = (200, 150, 200, 200)   # on HEADLESS-1, under the hole's top-left corner
DRAG_FROM, DRAG_TO = (300, 200), (1500, 500)   # ends on HEADLESS-2 (1024x768 at 1280,0)
# The drag, clamped to the output it started on; the press's own row stays veiled.
HOLE = (300, 201, 980, 299)
ATSPI_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"


def body(r):
    d = r.d
    bus = d.spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE)
    r.env["DBUS_SESSION_BUS_ADDRESS"] = Lines(bus).next()
    # The accessibility bus, up before Dimwell asks for it.
    d.spawn([ATSPI_LAUNCHER, "--launch-immediately"], name="at-spi", extra_env=r.env)
    # The compositor's shortcut, as users bind it: sway runs it on its own session
    # bus, so a script names Dimwell's (the address holds commas, which sway splits on).
    select_key = os.path.join(os.path.dirname(r.program("Dimwell")), "select-mode")
    with open(select_key, "w") as f:
        f.write(f"#!/bin/sh\nDBUS_SESSION_BUS_ADDRESS='{r.env['DBUS_SESSION_BUS_ADDRESS']}' "
                f"exec {r.program('Dimwell')} --action selectMode\n")
    os.chmod(select_key, 0o755)
    d.swaymsg("bindsym", "ctrl+shift+z", "exec", select_key)

    clicks = r.window("dimwell.probe", *PROBE_RECT[2:])
    d.swaymsg("[app_id=dimwell.probe] move position {} {}".format(*PROBE_RECT[:2]))
    dimwell = r.start_dimwell()
    r.check("compositor's" in r.log(), "no advice to bind the shortcuts in the compositor")
    pointer = Lines(d.spawn([r.program("dimwell_wayland_pointer"), *map(str, d.layout_size())],
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE, name="pointer"))
    pointer.expect("ready")
    clicks.expect("pointer")
    do = pointer.tell

    pointer.tell(f"move {DRAG_FROM[0] - 50} {DRAG_FROM[1] - 50}")
    selecting = [(900, 700, tuple(round(c * 0.5) for c in GRAY), "selection veil")]
    for start, what in ((lambda: r.action("selectMode"), "the remote control"),
                        (lambda: d.run(["wtype", "-M", "ctrl", "-M", "shift", "z", "-m", "shift", "-m", "ctrl"]),
                         "the key bound in sway")):
        start()
        r.expect(selecting, f"selection mode from {what}", "HEADLESS-2")
        # wtype makes its keyboard first; the pause lets the masks see it before the key.
        d.run(["wtype", "-s", "500", "-k", "Escape"])
        r.expect([(900, 700, GRAY, "no veil")], f"selection mode from {what} ended by Escape", "HEADLESS-2")
    r.action("selectMode")
    r.expect(selecting, "selection mode again", "HEADLESS-2")
    # The drag crosses onto the second output; the first keeps its motion.
    steps = [f"move {DRAG_FROM[0] + (DRAG_TO[0] - DRAG_FROM[0]) * i // 6} "
             f"{DRAG_FROM[1] + (DRAG_TO[1] - DRAG_FROM[1]) * i // 6}" for i in range(1, 7)]
    do(f"move {DRAG_FROM[0]} {DRAG_FROM[1]}", "press", *steps, "release")
    x, y, w, h = HOLE
    r.expect([(x, y, BLUE, "hole top-left"), (x - 1, y, veiled(BLUE), "left of the hole"),
              (x, y - 1, veiled(BLUE), "above the hole"), (x + w - 1, y + h - 1, GRAY, "hole bottom-right"),
              (x + w - 2, y + h, veiled(GRAY), "below the hole"), (1000, 650, veiled(GRAY), "veil")],
             "the dragged hole", "HEADLESS-1")
    r.expect([(10, 300, veiled(GRAY), "veil past the drag"), (500, 700, veiled(GRAY), "veil")],
             "the second output veiled", "HEADLESS-2")

    veil, hole = (250, 300), (350, 300)   # both over the probe
    do(f"click {veil[0]} {veil[1]}")
    r.check(clicks.pending() == ["click 50 150"],
            "with click-out off, a click on the veil does not reach the window below")
    r.action("clickoutToggle")
    time.sleep(0.5)   # the answer may come before the masks' new input regions reach sway
    do(f"click {hole[0]} {hole[1]}", f"click {veil[0]} {veil[1]}")
    seen = clicks.pending()
    r.check(seen == ["click 150 150"], f"with click-out on, the window below saw {seen}, want only the hole's")
    r.expect([(1000, 650, GRAY, "no veil")], "the overlay closed by a click on the veil", "HEADLESS-1")
    r.expect([(500, 700, GRAY, "no veil")], "the overlay closed by a click on the veil", "HEADLESS-2")

    def place(app_id, x, y, *_):
        d.swaymsg(f"[app_id={app_id}] move position {x} {y}")
    # Window mode finds the window under a pointer that no mask has seen there.
    r.window("dimwell.window", 300, 200)
    place("dimwell.window", 700, 100)
    # View mode placed away from the layout's corner: a Qt window's accessible
    # extents count from its own corner on Wayland.
    r.view_mode(place, lambda x, y: do(f"move {x} {y}"), (50, 300), "HEADLESS-1")
    do("move 800 200")
    r.action("windowMode")
    window_in_hole = [(700, 150, BLUE, "window in the hole"), (699, 150, veiled(GRAY), "left of it")]
    r.expect(window_in_hole + [(1000, 150, veiled(GRAY), "right of it")], "window mode", "HEADLESS-1")
    # Pattern mode over two outlined panels (the fixture's, at 20 + 220 i, 50
    # to 219 + 220 i, 299): a selection's edge cuts the first panel first, and
    # its hole must not be read as a border there.
    r.window("dimwell.panels", 480, 320, "panels")
    place("dimwell.panels", 760, 380)
    r.action("selectMode")
    do("move 600 400", "press", "move 740 480", "move 880 560", "release")
    page, inside = (236,) * 3, (255,) * 3
    for i, aim in enumerate([(830, 500), (1120, 620)]):   # the first inside the selection's hole
        x0, y0, x1, y1 = 780 + 220 * i, 430, 979 + 220 * i, 679
        do(f"move {aim[0]} {aim[1]}")
        r.action("patternMode")
        r.expect([(x0 + 1, y0 + 1, inside, "inside top-left"), (x1 - 1, y0 + 1, inside, "inside top-right"),
                  (x0 + 1, y1 - 1, inside, "inside bottom-left"), (x1 - 1, y1 - 1, inside, "inside bottom-right"),
                  (x0 - 5, 555, veiled(page), "page beside"), (1100 - 220 * i, 555, veiled(inside), "the other")],
                 f"pattern mode over panel {i + 1}", "HEADLESS-1")
    do("move 800 200")
    r.action("windowMode")
    # An output plugged in while the hole is up rebuilds the masks (hidden); the
    # next overlay veils the new output too.
    added = d.create_output(position=(d.layout_size()[0], 0))
    r.expect([(1000, 150, GRAY, "no veil")], "the masks rebuilt for the added output", "HEADLESS-1")
    r.action("windowMode")
    r.expect([(100, 100, veiled(GRAY), "veil"), (500, 400, veiled(GRAY), "veil")], "the added output", added)
    r.expect(window_in_hole, "window mode after an output was added", "HEADLESS-1")
    place("dimwell.window", 600, 100)
    r.expect([(620, 150, BLUE, "window in the hole"), (950, 150, veiled(GRAY), "where it was")],
             "the hole following the window", "HEADLESS-1")
    # Keys are named by the compositor's keymap, and renamed when it changes: the
    # key stored for US "Z" types Y on German, W on French.
    names = Lines(d.spawn([r.program("dimwell_wayland_key_names"), "6", "de", "fr"], stdout=subprocess.PIPE))
    for wanted in ("de Y", "fr W"):
        try:
            names.expect(wanted)
        except AssertionError as e:
            r.failures.append(f"key names from the compositor's keymap: {e}")

    # With bring-to-front off, window mode clears the focused window, not the one under the pointer.
    d.terminate(dimwell)
    write_prefs(d, bringtofront=False)
    d.spawn([r.program("Dimwell")], name="Dimwell", extra_env=r.env)
    r.check(wait_until(lambda: r.log().count("Dimwell: Dimwell started") == 2, STEP), "Dimwell did not start again")
    d.swaymsg("[app_id=dimwell.window] focus")
    do("move 300 250")   # over the probe
    r.action("windowMode")
    r.expect([(620, 150, BLUE, "focused window in the hole"), (300, 250, veiled(BLUE), "window under the pointer")],
             "window mode on the focused window", "HEADLESS-1")


if __name__ == "__main__":
    sys.exit(run(waydesktop.SwayDesktop(outputs="1280x720,1024x768"), body))
