#!/usr/bin/env python3
"""DimwellHelp on a real X server (Xvfb, openbox): walks the tutorial with the
mouse, checks each page's screenshot for its words (dark pixels in the text area)
and its pictures (stand-ins of one colour each in their frames), steps back and
forward, ends with Return on the last page; a second run is closed by the window
manager on a middle page."""
import os
import subprocess
import tempfile
import time

from e2e_support import BUILD_DIR, Desktop, near, out_dir, run_main

BINARY = os.path.join(BUILD_DIR, "bin", "DimwellHelp")
OUT_DIR = out_dir("tutorial-screens")
TITLE = "Dimwell Tutorial"
WINDOW = (580, 420)
STEP_TIMEOUT = 5.0

# Button centres in window coordinates (top-left origin): the slots rectOne,
# rectTwo and rectThree, given bottom-left as (470|374|278, 12, 97, 32).
SLOT_Y = WINDOW[1] - 12 - 16
CONTINUE = (470 + 48, SLOT_Y)  # rectOne
GO_BACK = (374 + 48, SLOT_Y)   # rectTwo


def pair(top, left, right):
    return [(left, (20, top, 260, 195)), (right, (300, top, 260, 195))]


# The window's layout: per page its text area and its pictures' frames
# (x, y, width, height), top-left origin. Pairs are 260x195, single pictures 440x220.
TOP_TEXT = (0, 0, 580, 120)
PAGES = [
    ("intro", (0, 124, 580, 120), []),
    ("selection", TOP_TEXT, pair(142, "selectionmode-animated.gif", "selectionmode-drop.png")),
    ("window", TOP_TEXT, pair(142, "windowmode-animated.gif", "windowmode-drop.png")),
    ("close", TOP_TEXT, [("clickout.png", (70, 130, 440, 220))]),
    ("earlyexit", TOP_TEXT, [("preferences.png", (70, 130, 440, 220))]),
    ("pattern", TOP_TEXT, pair(142, "patternmode1-animated.gif", "patternmode1-drop.png")),
    ("pattern2", TOP_TEXT, pair(142, "patternmode2-animated.gif", "patternmode2-drop.png")),
    ("view", (0, 0, 580, 158), pair(161, "viewmode1.png", "viewmode2.png")),
    ("keyboard", TOP_TEXT, pair(142, "keyboard-animated.gif", "keyboard-drop.gif")),
    ("conclusion", TOP_TEXT, [("help.png", (70, 130, 440, 220))]),
]


def picture_colour(index):
    """A saturated colour per picture, far from the light background and from black."""
    hues = [(200, 60, 60), (60, 160, 60), (60, 90, 200), (200, 140, 40), (140, 60, 180), (40, 160, 170)]
    r, g, b = hues[index % len(hues)]
    shade = 1.0 - 0.12 * (index // len(hues))
    return (int(r * shade), int(g * shade), int(b * shade))


def write_pictures(folder):
    """Stand-ins for every picture at the size it is shown; returns {file: colour}."""
    colours = {}
    files = [(name, frame[2], frame[3]) for _, _, pictures in PAGES for name, frame in pictures]
    for i, (name, width, height) in enumerate(files):
        colour = picture_colour(i)
        colours[name] = colour
        path = os.path.join(folder, name)
        base = ["-size", f"{width}x{height}", "xc:#%02x%02x%02x" % colour]
        if name.endswith(".gif"):
            frames = []
            for f in range(4):  # a white mark walking along the top edge
                frames += ["(", *base, "-fill", "white", "-draw", f"rectangle {10 + 40 * f},8 {40 + 40 * f},24", ")"]
            cmd = ["convert", "-delay", "20", *frames, "-loop", "0", path]
        else:
            cmd = ["convert", *base, "-fill", "white", "-draw", "rectangle 8,8 60,24", path]
        subprocess.run(cmd, check=True, timeout=30)
    subprocess.run(["convert", "-size", f"{WINDOW[0]}x{WINDOW[1]}", "gradient:#f6f7f9-#dfe4ea",
                    os.path.join(folder, "tutbackground.png")], check=True, timeout=30)
    return colours


def page_problems(shot, page, colours):
    """What the screenshot of a page lacks; empty when it shows its text and pictures."""
    name, text, pictures = page
    problems = []
    tx, ty, tw, th = text
    dark = sum(1 for y in range(ty, ty + th) for x in range(tx, tx + tw) if max(shot.pixel(x, y)) < 90)
    if dark < 400:
        problems.append(f"{name}: only {dark} dark pixels in the text area")
    for file, (px, py, pw, ph) in pictures:
        # Sample a grid inside the frame, clear of the stand-in's white marks.
        samples = [shot.pixel(px + pw * i // 6, py + ph * j // 6) for i in range(1, 6) for j in range(2, 6)]
        matching = sum(1 for s in samples if near(s, colours[file], 12))
        if matching < len(samples) * 0.9:
            problems.append(f"{name}: {file} not shown at {(px, py, pw, ph)} ({matching}/{len(samples)} samples)")
    return problems


def main():
    failures = []
    with tempfile.TemporaryDirectory(prefix="dimwell-tutorial-") as pictures:
        colours = write_pictures(pictures)
        with Desktop(monitors=1, xvfb=True, compositor=False) as d:
            env = d.env({"DIMWELL_RESOURCES": pictures})

            # First run: every page, one step back, Return on the last page.
            app = d.spawn([BINARY], name="DimwellHelp", env=env)
            window = d.wait_for_window(TITLE)
            x0, y0, w, h = d.window_rect(window)
            if (w, h) != WINDOW:
                failures.append(f"window is {w}x{h}, not {WINDOW[0]}x{WINDOW[1]}")

            def shot_of(page, label):
                """The window once it shows `page`, or its last look after the timeout."""
                deadline = time.monotonic() + STEP_TIMEOUT
                while True:
                    shot = d.capture(x0, y0, WINDOW[0], WINDOW[1])
                    problems = page_problems(shot, page, colours)
                    if not problems or time.monotonic() > deadline:
                        shot.save_png(os.path.join(OUT_DIR, f"{label}.png"))
                        return problems
                    time.sleep(0.1)

            def click(at):
                d.click(x0 + at[0], y0 + at[1])

            def ends(app, after):
                try:
                    status = app.wait(timeout=STEP_TIMEOUT)
                    if status != 0:
                        failures.append(f"DimwellHelp exited with status {status} after {after}")
                except subprocess.TimeoutExpired:
                    failures.append(f"{after} did not end DimwellHelp")

            for i, page in enumerate(PAGES):
                if i > 0:
                    click(CONTINUE)
                failures += shot_of(page, f"{i:02d}-{page[0]}")
            click(GO_BACK)
            failures += shot_of(PAGES[-2], "back-to-keyboard")
            click(CONTINUE)
            failures += shot_of(PAGES[-1], "conclusion-again")

            d.activate(window)
            d.key("Return")
            ends(app, "Return on the last page")
            with open(d.log_path("DimwellHelp"), errors="replace") as log:
                if "dealloc window controller" not in log.read():
                    failures.append("no 'dealloc window controller' in DimwellHelp's output")

            # Second run: the window manager closes the window on a middle page.
            app = d.spawn([BINARY], name="DimwellHelp-closed", env=env)
            window = d.wait_for_window(TITLE)
            x0, y0, _, _ = d.window_rect(window)
            for _ in range(5):
                click(CONTINUE)
            failures += shot_of(PAGES[5], "before-close")
            d.activate(window)
            d.key("alt+F4")
            ends(app, "closing the window on the pattern page")

    return failures


if __name__ == "__main__":
    run_main(main)
