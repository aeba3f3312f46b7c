#!/usr/bin/env python3
"""Pattern mode of Dimwell on a real desktop (Xorg, openbox, picom): over a
picture of two panels drawn with 1-pixel lines, the pattern shortcut makes the
hole exactly the inside of the panel under the pointer, also while another
window covers part of that panel (the capture is the window's own content).
"""
import os

from e2e_support import (Checks, Desktop, missing_log_lines, out_dir, preset_shortcuts, run_main, start_dimwell,
                         veiled, write_prefs)
from PIL import Image, ImageDraw

OUT_DIR = out_dir("pattern-mode")
WIDTH, HEIGHT = 480, 320
PAGE, LINE, INSIDE = (236, 236, 236), (0, 0, 0), (255, 255, 255)
# Panels as their line rectangles (x0, y0, x1, y1), lines included; the hole is strictly inside.
PANELS = [(20, 50, 219, 299), (240, 50, 459, 299)]


def panel_picture(path):
    picture = Image.new("RGB", (WIDTH, HEIGHT), PAGE)
    for panel in PANELS:
        ImageDraw.Draw(picture).rectangle(panel, fill=INSIDE, outline=LINE)
    picture.save(path, "PNG")
    return path


def main():
    shortcuts = preset_shortcuts()
    failures = []
    with Desktop(monitors=2) as d:
        checks = Checks(d, OUT_DIR, failures)
        write_prefs(d, bringtofront=True)
        picture = d.picture(panel_picture(os.path.join(d.dir, "panels.png")), title="panels", position=(300, 200))
        px, py, _, _ = d.window_rect(picture)
        d.move_pointer(1500, 900)
        reference = d.capture()

        def expect(label, panel, extra=()):
            """The hole is exactly the inside of `panel` (its lines, picture coordinates)."""
            x0, y0, x1, y1 = panel

            def at(x, y, what, clear):
                rgb = reference.pixel(px + x, py + y)
                return (f"{label} {what}", (px + x, py + y), rgb if clear else veiled(rgb))
            mid_x, mid_y = (x0 + x1) // 2, (y0 + y1) // 2
            return [at(x0 + 1, y0 + 1, "inside top-left", True), at(x1 - 1, y0 + 1, "inside top-right", True),
                    at(x0 + 1, y1 - 1, "inside bottom-left", True), at(x1 - 1, y1 - 1, "inside bottom-right", True),
                    at(x0, mid_y, "left line", False), at(x1, y0 + 5, "right line", False),
                    at(mid_x, y0, "top line", False), at(x0 + 5, y1, "bottom line", False),
                    at(x0 - 5, mid_y, "page beside", False)] + list(extra)

        # The window under the pointer, brought to the front.
        program = start_dimwell(d)
        x0, y0, x1, y1 = PANELS[1]
        d.move_pointer(px + (x0 + x1) // 2, py + (y0 + y1) // 2)
        d.key(shortcuts["patternMode"])
        checks.wait("01-panel-under-pointer", expect("second panel", PANELS[1], [
            ("first panel", (px + 100, py + 100), veiled(INSIDE))]))
        failures += missing_log_lines(d, ["pattern hot key", "windowid:", "The current app is display"])
        d.terminate(program)

        # The active window, partly covered by a window that stays on top (nothing
        # is raised with bring-to-front off): the capture is the window's own
        # content, so the hole is the panel's whole inside and the covering window
        # shows through where it lies over the panel.
        write_prefs(d, bringtofront=False)
        d.activate(picture)
        cover, _ = d.translucent_window(px + 150, py + 230, 150, 120, rgba=(0, 200, 0, 255), title="cover")
        d.wait_for(lambda: d.pixel(px + 170, py + 250) == (0, 200, 0), 5, "the covering window to show")
        reference = d.capture()
        start_dimwell(d, name="Dimwell-again")
        d.move_pointer(px + 80, py + 120)
        d.key(shortcuts["patternMode"])
        under_cover, beyond = (px + 180, py + 280), (px + 270, py + 340)
        checks.wait("02-covered-panel", expect("first panel", PANELS[0], [
            ("covering window over the panel", under_cover, reference.pixel(*under_cover)),
            ("covering window beyond the panel", beyond, veiled(reference.pixel(*beyond)))]))
    return failures


if __name__ == "__main__":
    run_main(main)
