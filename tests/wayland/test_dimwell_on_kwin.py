#!/usr/bin/env python3
"""Dimwell running natively on KWin (headless, Plasma 5.27+): window mode started
by the remote control puts the hole exactly on KWin's frame of the window under
the pointer, behind another window, and brings it to the front; moving that
window with a KWin script moves the hole; once it closes the hole stays put and
follows no other window. Pattern mode, through KWin's screenshots, clears
exactly the outlined panel under the pointer. View mode finds the view under the pointer in a Qt
window. Dimwell's window script leaves KWin when Dimwell quits and is back when
it starts again; with the script silent, window mode falls back at once, and
says so once. With bring-to-front off, window mode clears the active window.
Exits 77 (skipped) when KWin cannot start."""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wayland_session import (BIN, BLUE, SOURCE, STEP, Lines, run, veiled, wait_until, waydesktop,  # noqa: E402
                             write_prefs)

PAGE = (236, 236, 236)     # the toplevel with panels, above its panels (its top 50 rows)
BACK = (300, 150, 400, 300)    # the blue window, partly under the other
FRONT = (500, 130, 400, 300)   # every pixel checked on it is on its page


def body(r):
    d = r.d
    back = r.window("dimwell.back", 400, 300).popen
    r.window("dimwell.front", 400, 300, "panels")
    d.place("dimwell.back", *BACK)
    d.place("dimwell.front", *FRONT)
    dimwell = r.start_dimwell()
    pointer = Lines(d.spawn([r.program("dimwell_wayland_pointer")], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            name="pointer"))
    pointer.expect("ready")

    def move(x, y):
        pointer.tell(f"move {x} {y}")

    def hole_on(x, y, w, h, what):
        # The blue window in front inside the hole, the other one veiled just
        # past its top and right edges.
        r.expect([(x, y, BLUE, "top-left corner"), (x + w - 1, y + h - 1, BLUE, "bottom-right corner"),
                  (x + w - 20, y + 20, BLUE, "where the windows overlap"),
                  (x + w, y + 10, veiled(PAGE), "right of the hole"),
                  (x + w - 20, y - 1, veiled(PAGE), "above the hole")], what)

    move(350, 300)   # over the blue window only
    r.action("windowMode")
    hole_on(*BACK, "window mode on the window under the pointer")
    moved = (BACK[0] + 20, BACK[1] - 10, BACK[2], BACK[3])
    d.place("dimwell.back", *moved)
    hole_on(*moved, "the hole after the window moved")

    d.terminate(back)
    x, y, w, h = moved
    r.expect([(x + w - 20, y + 20, PAGE, "the window behind, in the hole"),
              (x + w + 20, y + 20, veiled(PAGE), "right of the hole")], "the hole after the window closed")
    d.place("dimwell.front", FRONT[0] + 50, FRONT[1], FRONT[2], FRONT[3])
    r.expect([(x + w + 20, y + 20, veiled(PAGE), "right of the hole"),
              (x + w - 20, y + 20, PAGE, "in the hole")], "the hole once the other window moved")

    # The fixture's panels: white, outlined at 20 + 220 i, 50 to 219 + 220 i, 299.
    d.place("dimwell.front", 560, 200, 480, 320)
    move(900, 400)
    r.action("patternMode")
    x0, y0, x1, y1 = 800, 250, 999, 499
    white = (255, 255, 255)
    r.expect([(x0 + 1, y0 + 1, white, "inside top-left"), (x1 - 1, y1 - 1, white, "inside bottom-right"),
              (x0 - 5, 400, veiled(PAGE), "page beside"), (700, 400, veiled(white), "the other panel")],
             "pattern mode over the second panel")

    r.view_mode(d.place, move, (1400, 100))

    r.action("quit")
    dimwell.wait(STEP)
    r.check(not d.script_loaded("dimwell-windows"), "Dimwell's window script is still in KWin after Dimwell quit")

    # A script that stops answering: window mode falls back without hanging, said once.
    dimwell = r.start_dimwell(times=2)
    r.check(wait_until(lambda: d.script_loaded("dimwell-windows"), STEP),
            "Dimwell started again without its window script")
    d.bus_call("/Scripting", "org.kde.kwin.Scripting.unloadScript", "string:dimwell-windows")
    move(800, 200)   # over the window left, which the silent script's last list still holds
    chosen = r.log().count("The current app is")
    for _ in range(2):
        started = time.monotonic()
        r.action("windowMode")
        r.action("windowMode")   # answered only once the first has run
        r.check(time.monotonic() - started <= 3.0, "window mode waited on a silent script")
    r.check(r.log().count("The current app is") == chosen, "window mode used the list of a silent script")
    r.check(r.log().count("window script does not answer") == 1, "a silent script is not reported exactly once")

    # With bring-to-front off, window mode clears the active window, not the one under the pointer.
    d.terminate(dimwell)
    write_prefs(d, bringtofront=False)
    d.spawn([r.program("Dimwell")], name="Dimwell", extra_env=r.env)
    r.check(wait_until(lambda: r.log().count("Dimwell: Dimwell started") == 3, STEP), "Dimwell did not start again")
    d.kwin_script('workspace.clientList().forEach(function (c) { if (c.resourceClass == "dimwell.front") '
                  'workspace.activeClient = c; });')
    move(1500, 300)   # over the Qt window
    under = veiled(d.screenshot().pixel(1500, 300))
    r.action("windowMode")
    r.expect([(600, 210, PAGE, "active window in the hole"), (1500, 300, under, "window under the pointer")],
             "window mode on the active window")


if __name__ == "__main__":
    sys.exit(run(waydesktop.KWinDesktop(os.path.join(BIN, "dimwell_kwin_screenshot"),
                                        trusted=[(os.path.join(SOURCE, "resources", "dimwell.desktop"),
                                                  os.path.join(BIN, "Dimwell"))]), body))
