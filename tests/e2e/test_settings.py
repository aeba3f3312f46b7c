#!/usr/bin/env python3
"""The settings window of Dimwell on a real desktop (Xorg dummy, openbox, picom,
tint2 as tray host).

The tray menu's Settings item opens the window in front and focused; a
screenshot shows its eight shortcut rows filled. A shortcut recorded in the
window (Control+Alt+W for window mode) is the one the next hotkey press answers
to: over a window it makes the hole, while the shortcut it replaced no longer
does anything. Screenshots go to $DIMWELL_BUILD_DIR/test-output/settings.
"""
import os
import plistlib
import sys
import time
import unittest

SOURCE_DIR = os.environ.get("DIMWELL_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
BUILD_DIR = os.environ.get("DIMWELL_BUILD_DIR") or os.path.join(SOURCE_DIR, "build")
sys.path.insert(0, os.path.join(SOURCE_DIR, "scripts"))
from xdesktop import Desktop, DesktopError  # noqa: E402
from demo import preset_shortcuts  # noqa: E402

DIMWELL = os.path.join(BUILD_DIR, "bin", "Dimwell")
OUT_DIR = os.path.join(BUILD_DIR, "test-output", "settings")
STEP = 10.0
OPACITY = 0.8
GRAY = (128, 128, 128)
VEILED = tuple(round(c * (1.0 - OPACITY)) for c in GRAY)
WINDOW_TITLE = "Dimwell Settings"
WINDOW_ROW = 3   # rows as shipped: select, close, pattern, window, …


def near(a, b, tolerance=4):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def log_lines(d):
    with open(d.log_path("Dimwell"), errors="replace") as f:
        return [line.rstrip("\n").removeprefix("Dimwell: ") for line in f]


def wait_for_line(d, line, count=1):
    d.wait_for(lambda: log_lines(d).count(line) >= count, STEP, f"log line {line!r} x{count}")


def tray_icon(d):
    for window in d.run(["xdotool", "search", "--class", "Dimwell"], check=False).split():
        try:
            x, y, w, h = d.window_rect(int(window))
        except DesktopError:
            continue
        if w <= 64 and h <= 64 and y > 900:
            return x, y, w, h
    return None


def recorder_fields(image):
    """The recorders in a picture of the window: white boxes in one column,
    top to bottom, as (x0, x1, y0, y1). Found by scanning columns near the right."""
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
    """Dark glyph pixels inside a field."""
    x0, x1, y0, y1 = field
    return any(sum(image.pixel(x, y)) < 300 for x in range(x0, x1 + 1) for y in range(y0, y1))


class SettingsWindow(unittest.TestCase):
    def test_recorded_shortcut_is_the_one_the_hotkeys_answer_to(self):
        os.makedirs(OUT_DIR, exist_ok=True)
        shortcuts = preset_shortcuts()
        with Desktop(monitors=1) as d:
            config = os.path.join(d.env()["XDG_CONFIG_HOME"], "Dimwell")
            os.makedirs(config, exist_ok=True)
            prefs = os.path.join(config, "com.Orvalen.Dimwell.plist")
            with open(prefs, "wb") as f:   # a later run: no tutorial over the test
                plistlib.dump({"opacity": OPACITY, "bringtofront": True, "clickout": False,
                               "currentonly": False}, f)
            target = d.start_client(["xlogo", "-title", "target", "-bg", "red", "-fg", "red",
                                     "-geometry", "300x200+60+80"], "target")
            d.spawn(["tint2"], name="tint2")
            d.spawn([DIMWELL], name="Dimwell", env=d.env({"DIMWELL_LOG_STDERR": "1"}))
            wait_for_line(d, "Dimwell started")

            # Settings… from the tray menu: the fifth item.
            x, y, w, h = d.wait_for(lambda: tray_icon(d), STEP, "the status icon in the tray", interval=0.2)
            d.click(x + w // 2, y + h // 2)
            wait_for_line(d, "menu active")
            d.key("Down", "Down", "Down", "Down", "Down", "Return")
            window = d.wait_for_window(WINDOW_TITLE, STEP)
            d.wait_for(lambda: d.xdotool("getactivewindow") == str(window), STEP, "the settings window to be active")

            wx, wy, ww, wh = d.window_rect(window)
            time.sleep(0.5)   # the first paint
            picture = d.capture(wx, wy, ww, wh)
            picture.save_png(os.path.join(OUT_DIR, "settings-window.png"))
            fields = recorder_fields(picture)
            self.assertEqual(len(fields), 8, f"recorder fields found: {fields}")
            empty = [i for i, f in enumerate(fields) if not has_text(picture, f)]
            self.assertEqual(empty, [], "rows without a shortcut shown")

            # Record Control+Alt+W in the window-mode row.
            x0, x1, y0, y1 = fields[WINDOW_ROW]
            d.click(wx + (x0 + x1) // 2, wy + (y0 + y1) // 2)
            wait_for_line(d, "became first responder")
            d.key("ctrl+alt+w")
            wait_for_line(d, "resigned first responder")
            d.capture(wx, wy, ww, wh).save_png(os.path.join(OUT_DIR, "recorded.png"))

            def stored():
                with open(prefs, "rb") as f:
                    return plistlib.load(f).get("userhotkeys", {}).get("windowMode", {})
            d.wait_for(lambda: stored().get("keycode") == 13, STEP, "the new shortcut in the preference file")
            record = stored()
            self.assertTrue(record["control"] and record["option"])
            self.assertFalse(record["shift"] or record["command"])
            self.assertEqual(record["character"], "W")

            # The window goes; the new shortcut makes the hole over the xlogo, the
            # old one does nothing.
            d.key("alt+F4")
            wait_for_line(d, "releasing")
            tx, ty, tw, th = d.window_rect(target)
            d.move_pointer(tx + tw // 2, ty + th // 2)
            probe = (tx + tw + 200, ty + th // 2)
            d.wait_for_pixel(*probe, GRAY, tolerance=2)

            d.key(shortcuts.get("windowMode", "ctrl+shift+x"))
            time.sleep(1.0)
            self.assertTrue(near(d.pixel(*probe), GRAY), "the replaced shortcut still dims the screen")

            d.key("ctrl+alt+w")
            d.wait_for_pixel(*probe, VEILED, tolerance=4)
            self.assertTrue(near(d.pixel(tx + tw // 2, ty + th // 2), (255, 0, 0)), "the window is not clear")
            d.screenshot(os.path.join(OUT_DIR, "hole-from-new-shortcut.png"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
