#!/usr/bin/env python3
"""The settings window on a real desktop (Xorg dummy, openbox, picom, tint2): opened
from the tray menu, a screenshot shows its eight shortcut rows filled; a shortcut
recorded in it (Control+Alt+W for window mode) is the one the next hotkey press
answers to, while the shortcut it replaced does nothing."""
import os
import plistlib
import time
import unittest

from e2e_support import (BACKGROUND, Desktop, near, out_dir, preset_shortcuts, start_dimwell, tray_icon,
                         veiled, wait_for_line, write_prefs)

OUT_DIR = out_dir("settings")
STEP = 10.0
WINDOW_ROW = 3   # rows as shipped: select, close, pattern, window, …


def recorder_fields(image):
    """The recorders in a picture of the window: white boxes in one column, top to
    bottom, as (x0, x1, y0, y1), found by scanning columns near the right."""
    best = []
    for x in range(image.width - 20, image.width // 2, -6):
        runs, start = [], None
        for y in range(image.height):
            white = image.pixel(x, y) == (255, 255, 255)
            if white and start is None:
                start = y
            elif not white and start is not None:
                if 14 <= y - start <= 40:
                    runs.append((start, y))
                start = None
        if len(runs) > len(best):
            best = [(x, r) for r in runs]
        if len(runs) == 8:
            break
    fields = []
    for x, (y0, y1) in best:
        left = x
        while left > 0 and image.pixel(left - 1, (y0 + y1) // 2) != (0, 0, 0) and \
                image.pixel(left - 1, y0 + 1) == (255, 255, 255):
            left -= 1
        right = x
        while right + 1 < image.width and image.pixel(right + 1, y0 + 1) == (255, 255, 255):
            right += 1
        fields.append((left, right, y0, y1))
    return fields


def has_text(image, field):
    x0, x1, y0, y1 = field
    return any(sum(image.pixel(x, y)) < 300 for x in range(x0, x1 + 1) for y in range(y0, y1))


class SettingsWindow(unittest.TestCase):
    def test_recorded_shortcut_is_the_one_the_hotkeys_answer_to(self):
        shortcuts = preset_shortcuts()
        with Desktop(monitors=1) as d:
            prefs = write_prefs(d)
            target = d.start_client(["xlogo", "-title", "target", "-bg", "red", "-fg", "red",
                                     "-geometry", "300x200+60+80"], "target")
            d.spawn(["tint2"], name="tint2")
            start_dimwell(d)

            # Settings… from the tray menu: the fifth item.
            x, y, w, h = d.wait_for(lambda: tray_icon(d), STEP, "the status icon in the tray", interval=0.2)
            d.click(x + w // 2, y + h // 2)
            wait_for_line(d, "menu active")
            d.key("Down", "Down", "Down", "Down", "Down", "Return")
            window = d.wait_for_window("Dimwell Settings", STEP)
            d.wait_for(lambda: d.xdotool("getactivewindow") == str(window), STEP, "the settings window to be active")

            wx, wy, ww, wh = d.window_rect(window)
            time.sleep(0.5)   # the first paint
            picture = d.capture(wx, wy, ww, wh)
            picture.save_png(os.path.join(OUT_DIR, "settings-window.png"))
            fields = recorder_fields(picture)
            self.assertEqual(len(fields), 8, f"recorder fields found: {fields}")
            self.assertEqual([i for i, f in enumerate(fields) if not has_text(picture, f)], [],
                             "rows without a shortcut shown")

            x0, x1, y0, y1 = fields[WINDOW_ROW]
            d.click(wx + (x0 + x1) // 2, wy + (y0 + y1) // 2)
            wait_for_line(d, "became first responder")
            d.key("ctrl+alt+w")
            wait_for_line(d, "resigned first responder")

            def stored():
                with open(prefs, "rb") as f:
                    return plistlib.load(f).get("userhotkeys", {}).get("windowMode", {})
            d.wait_for(lambda: stored().get("keycode") == 13, STEP, "the new shortcut in the preference file")
            record = stored()
            self.assertEqual((record["control"], record["option"], record["shift"], record["command"]),
                             (True, True, False, False))
            self.assertEqual(record["character"], "W")

            # The window goes; the new shortcut makes the hole over the xlogo, the old one nothing.
            d.key("alt+F4")
            wait_for_line(d, "releasing")
            tx, ty, tw, th = d.window_rect(target)
            d.move_pointer(tx + tw // 2, ty + th // 2)
            probe = (tx + tw + 200, ty + th // 2)
            d.wait_for_pixel(*probe, BACKGROUND, tolerance=2)
            d.key(shortcuts.get("windowMode", "ctrl+shift+x"))
            time.sleep(1.0)
            self.assertTrue(near(d.pixel(*probe), BACKGROUND), "the replaced shortcut still dims the screen")
            d.key("ctrl+alt+w")
            d.wait_for_pixel(*probe, veiled(), tolerance=4)
            self.assertTrue(near(d.pixel(tx + tw // 2, ty + th // 2), (255, 0, 0)), "the window is not clear")
            d.screenshot(os.path.join(OUT_DIR, "hole-from-new-shortcut.png"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
