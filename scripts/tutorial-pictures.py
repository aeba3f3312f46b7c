#!/usr/bin/python3
"""The tutorial's pictures, taken from Dimwell at work on a headless desktop.

Starts a private desktop (one 1280x800 monitor, openbox, picom, the accessibility
bus), a terminal, a picture of a web page with framed panels and a small program
with accessible panels; starts Dimwell with fresh preferences (only the veil's
opacity and click-out stored, so no tutorial opens and the first shortcut preset
applies); drives selection, window, click-out, pattern and view mode, and the
tray menu (tint2 as tray host), through XTest; captures the screen around the action and turns the frames
into the PNG stills and animated GIFs DimwellHelp shows, each at the size of its
place in the tutorial. The key caps and the background are drawn. The pointer is
not in X screenshots, so it is drawn onto the frames where it is.

    scripts/tutorial-pictures.py [--binary build/bin/Dimwell] [--out resources/] [--only SCENE]...

Needs ImageMagick (convert), tint2 and the packages of the test desktop. The
program with accessible panels is looked for next to the binary's build
(tests/x11/dimwell_atspi_fixture). A picture that cannot be taken as it should
(no such program, a pattern mode hole that is the whole window) is left as it
is, and the run ends with status 2 naming it; the settings window picture is
taken only when the tray menu opens one. DIMWELL_KEEP_PICTURE_FRAMES=1 keeps the
raw frames.
"""
import argparse
import os
import plistlib
import select
import shutil
import subprocess
import sys
import tempfile
import time

SCRIPTS_DIR = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(SCRIPTS_DIR)
sys.path.insert(0, SCRIPTS_DIR)
from xdesktop import Desktop, DesktopError  # noqa: E402
from demo import preset_shortcuts  # noqa: E402

SCREEN = "1280x800"
WALLPAPER = (86, 120, 156)
OPACITY = 0.75
STEP_TIMEOUT = 6.0
CONVERT = shutil.which("convert") or "convert"
FONT = "DejaVu-Sans"
FONT_BOLD = "DejaVu-Sans-Bold"

# Picture sizes: the places they fill in the tutorial window.
PAIR = (260, 195)
WIDE = (440, 220)
PAGE = (580, 420)

# Where things are on the screen. Scenes are captured at twice the size of their
# picture and scaled down by half.
DESKTOP_BOX = (20, 20, 520, 390)
TERMINAL_GEOMETRY = "50x13+40+40"
ARTICLE_AT = (262, 178)
PANELS_GEOMETRY = "420x280+760+300"
SELECTION = ((44, 82), (322, 172))   # around the list in the terminal

NOTES = """$ cat notes/monday.txt
Monday
  - finish the quarterly report
  - review the draft of chapter 3
  - call the print shop about covers
  - water the tomatoes

$ ls projects
  almanac   garden-map   recipes
  budget    letters      website
$ """


class PictureError(Exception):
    pass


def convert(*args):
    try:
        subprocess.run([CONVERT, *[str(a) for a in args]], check=True, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    except subprocess.CalledProcessError as e:
        raise PictureError(f"convert failed: {e.stderr.decode(errors='replace').strip()}") from None
    except subprocess.TimeoutExpired:
        raise PictureError("convert did not finish within 60 s") from None


# --- drawn pieces ------------------------------------------------------------------------

def draw_cursors(work):
    """The arrow and the crosshair, drawn at the size they have on screen."""
    arrow = os.path.join(work, "arrow.png")
    convert("-size", "14x21", "xc:none", "-fill", "black", "-stroke", "white", "-strokewidth", "1",
            "-draw", "polygon 1,1 1,16 5,12 8,19 10,18 7,11 12,11", arrow)
    cross = os.path.join(work, "cross.png")
    convert("-size", "21x21", "xc:none", "-stroke", "white", "-strokewidth", "3",
            "-draw", "line 10,0 10,20 line 0,10 20,10", "-stroke", "black", "-strokewidth", "1",
            "-draw", "line 10,0 10,20 line 0,10 20,10", cross)
    # Hot spots: the arrow's tip, the crosshair's centre.
    return {"arrow": (arrow, (1, 1)), "cross": (cross, (10, 10))}


# The panels of the web page picture, (x0, y0, x1, y1) inside its window.
ARTICLE_SIZE = (440, 300)
MENU_PANEL = (10, 50, 118, 290)
VIDEO_PANEL = (128, 50, 430, 178)
TEXT_PANEL = (128, 188, 430, 290)


def draw_article(path):
    """A web page with framed panels: a banner, a menu, a video and a column of text.
    Plain panels inside straight, dark frames are what border detection finds."""
    w, h = ARTICLE_SIZE
    frame = "#50565e"
    text = ["Tomatoes like a warm, sunny spot and", "steady watering. Stake them early and",
            "pinch out side shoots, so the plant", "puts its strength into the fruit."]

    def framed(panel, inside):
        x0, y0, x1, y1 = panel
        return ["-fill", frame, "-draw", f"rectangle {x0},{y0} {x1},{y1}",
                "-fill", inside, "-draw", f"rectangle {x0 + 2},{y0 + 2} {x1 - 2},{y1 - 2}"]

    args = ["-size", f"{w}x{h}", "xc:#eceae4",
            "-fill", "#2f5d8a", "-draw", f"rectangle 0,0 {w},38",
            "-font", FONT_BOLD, "-pointsize", "18", "-fill", "white", "-annotate", "+14+26", "Garden Notes"]
    args += framed(MENU_PANEL, "white") + ["-font", FONT, "-pointsize", "12", "-fill", "#2f5d8a"]
    for i, item in enumerate(["Home", "Seeds", "Tools", "Calendar", "Forum"]):
        args += ["-annotate", f"+{MENU_PANEL[0] + 12}+{MENU_PANEL[1] + 26 + i * 24}", item]
    # a video, paused: plain dark, so its frame is all border detection sees
    x0, y0, x1, y1 = VIDEO_PANEL
    cx, cy = (x0 + x1) // 2, (y0 + y1) // 2 - 6
    args += framed(VIDEO_PANEL, "#1d2a38") + [
        "-fill", "#ffffff30", "-draw", f"circle {cx},{cy} {cx + 22},{cy}",
        "-fill", "white", "-draw", f"polygon {cx - 7},{cy - 11} {cx - 7},{cy + 11} {cx + 12},{cy}",
        "-fill", "#3a4b5e", "-draw", f"rectangle {x0 + 14},{y1 - 16} {x1 - 14},{y1 - 13}",
        "-fill", "#e0533d", "-draw", f"rectangle {x0 + 14},{y1 - 16} {x0 + 110},{y1 - 13}",
        "-font", FONT, "-pointsize", "10", "-fill", "#c8d2dc", "-annotate", f"+{x0 + 14}+{y0 + 18}",
        "Planting out tomatoes"]
    x0, y0, x1, y1 = TEXT_PANEL
    args += framed(TEXT_PANEL, "white") + [
        "-font", FONT_BOLD, "-pointsize", "13", "-fill", "#222222", "-annotate", f"+{x0 + 12}+{y0 + 22}",
        "Growing tomatoes", "-font", FONT, "-pointsize", "11", "-fill", "#444444"]
    for i, line in enumerate(text):
        args += ["-annotate", f"+{x0 + 12}+{y0 + 42 + i * 15}", line]
    convert(*args, path)
    return path


def draw_background(path):
    """A calm, light page behind the tutorial's texts."""
    convert("-size", f"{PAGE[0]}x{PAGE[1]}", "gradient:#fdfdfe-#e3eaf2",
            "-fill", "#ffffff48", "-draw", f"ellipse {PAGE[0] - 40},{-60} 360,230 0,360", "-blur", "0x24",
            "-strip", path)


def key_cap(work, label, width, height, lit):
    """One key cap as a PNG: rounded, white (or lit blue), with its label."""
    path = os.path.join(work, f"key-{label or 'space'}-{width}x{height}-{'lit' if lit else 'off'}.png")
    if os.path.exists(path):
        return path
    face, edge, ink = ("#4a90d9", "#2c6cb0", "white") if lit else ("#ffffff", "#8a8f96", "#222222")
    convert("-size", f"{width + 3}x{height + 4}", "xc:none",
            "-fill", "#0000002a", "-draw", f"roundrectangle 2,3 {width + 1},{height + 2} 6,6",
            "-fill", face, "-stroke", edge, "-strokewidth", "1.5",
            "-draw", f"roundrectangle 1,1 {width - 1},{height - 1} 6,6",
            "-stroke", "none", "-fill", ink, "-font", FONT,
            "-pointsize", str(round(height * (0.34 if len(label) > 1 else 0.42))),
            "-gravity", "center", "-annotate", f"+0-{height // 16}", label, path)
    return path


def draw_keyboard(work, out_animated, out_keys):
    """The shortcuts as key caps: Control, Shift and the letter of each mode, lit in
    turn (animated); and the corner of a keyboard where they all sit together."""
    w, h = PAIR
    modes = [("Z", "Selection mode"), ("X", "Window mode"), ("A", "Close the highlight"),
             ("C", "Pattern mode"), ("V", "View mode")]
    frames = []
    for i, (letter, what) in enumerate(modes):
        frame = os.path.join(work, f"keys-{i}.png")
        args = ["-size", f"{w}x{h}", "xc:#f4f6f9", "-gravity", "northwest",
                key_cap(work, "Control", 80, 44, True), "-geometry", "+16+36", "-composite",
                key_cap(work, "Shift", 66, 44, True), "-geometry", "+102+36", "-composite",
                "-font", FONT, "-pointsize", "22", "-fill", "#6b727b", "-annotate", "+176+44", "+",
                key_cap(work, letter, 44, 44, True), "-geometry", "+198+36", "-composite"]
        for j, (other, _) in enumerate(modes):
            args += [key_cap(work, other, 34, 34, j == i), "-geometry", f"+{27 + j * 42}+104", "-composite"]
        args += ["-font", FONT_BOLD, "-pointsize", "15", "-fill", "#2c6cb0", "-gravity", "south",
                 "-annotate", "+0+22", what]
        convert(*args, frame)
        frames.append(frame)
    gif(frames, [120] * len(frames), out_animated)

    # The bottom left corner of a keyboard, the shortcut keys lit; the rows run on
    # past the right edge.
    rows = [[("Tab", 46), "Q", "W", "E", "R", "T", "Y"],
            [("Caps", 56), "A", "S", "D", "F", "G", "H"],
            [("Shift", 74), "Z", "X", "C", "V", "B", "N"],
            [("Control", 64), ("Alt", 42), ("", 160)]]
    lit = {"A", "Z", "X", "C", "V", "Shift", "Control"}
    args = ["-size", f"{w}x{h}", "xc:#f4f6f9", "-gravity", "northwest"]
    for row, keys in enumerate(rows):
        x = 12
        for key in keys:
            label, width = (key, 34) if isinstance(key, str) else key
            args += [key_cap(work, label, width, 34, label in lit), "-geometry", f"+{x}+{12 + row * 44}",
                     "-composite"]
            x += width + 6
    convert(*args, "-strip", out_keys)


def gif(frames, delays, path, colors=96):
    """An endless GIF; delays in hundredths of a second."""
    args = []
    for frame, delay in zip(frames, delays):
        args += ["-delay", delay, frame]
    convert(*args, "-loop", "0", "+dither", "-colors", colors, "-layers", "Optimize", path)


# --- the desktop ---------------------------------------------------------------------------

class Studio:
    """The desktop, Dimwell on it and the frames taken so far."""

    def __init__(self, desktop, binary, fixture, work):
        self.d = desktop
        self.binary = binary
        self.fixture = fixture
        self.work = work
        self.cursors = draw_cursors(work)
        self.shortcuts = preset_shortcuts()
        self.program = None
        self.count = 0

    # pictures

    def frame(self, box, size, pointer=None, cursor="arrow", click=False):
        """The screen inside box, scaled to size, with the pointer drawn at its place."""
        self.count += 1
        raw = os.path.join(self.work, f"raw-{self.count:03}.png")
        out = os.path.join(self.work, f"frame-{self.count:03}.png")
        self.d.capture(*box).save_png(raw)
        bx, by, bw, bh = box
        sx, sy = size[0] / bw, size[1] / bh
        args = [raw, "-filter", "Lanczos", "-resize", f"{size[0]}x{size[1]}!"]
        if pointer is not None:
            px, py = round((pointer[0] - bx) * sx), round((pointer[1] - by) * sy)
            if click:
                args += ["-fill", "#ffffff50", "-stroke", "#ffffffd0", "-strokewidth", "2",
                         "-draw", f"circle {px},{py} {px + 11},{py}", "-stroke", "none"]
            image, (hx, hy) = self.cursors[cursor]
            args += [image, "-geometry", f"+{px - hx}+{py - hy}", "-composite"]
        convert(*args, out)
        return out

    @staticmethod
    def still(frame, path):
        convert(frame, "-strip", "-define", "png:compression-level=9", path)

    # waiting

    def settle(self, point, reference, darker, timeout=STEP_TIMEOUT):
        """Wait until the pixel at point is clearly darker than in reference (or no
        longer), then a little for the rest of the screen."""
        want = sum(reference.pixel(*point))
        deadline = time.monotonic() + timeout
        while True:
            now = sum(self.d.pixel(*point))
            if (now < want - 60) == darker:
                time.sleep(0.25)
                return True
            if time.monotonic() > deadline:
                print(f"  (the screen at {point} did not {'dim' if darker else 'clear'} "
                      f"within {timeout:g} s)", flush=True)
                return False
            time.sleep(0.05)

    def check_alive(self):
        if self.program is not None and self.program.poll() is not None:
            raise PictureError(f"Dimwell exited with status {self.program.returncode}, "
                               f"see {self.d.log_path('Dimwell')}")

    # programs

    def start_dimwell(self):
        # Stored preferences mark a later run: no tutorial over the pictures.
        config = os.path.join(self.d.env()["XDG_CONFIG_HOME"], "Dimwell")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "com.Orvalen.Dimwell.plist"), "wb") as f:
            plistlib.dump({"opacity": OPACITY, "bringtofront": True, "clickout": True, "currentonly": False}, f)
        self.program = self.d.spawn([self.binary], name="Dimwell", env=self.d.env({"DIMWELL_LOG_STDERR": "1"}))
        self.wait_for_log("Dimwell started")

    def log(self):
        try:
            with open(self.d.log_path("Dimwell"), errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def wait_for_log(self, text, count=1, timeout=STEP_TIMEOUT * 2):
        try:
            self.d.wait_for(lambda: self.log().count(text) >= count or self.program.poll() is not None,
                            timeout, f"Dimwell's log line {text!r}")
        except DesktopError as e:
            raise PictureError(str(e)) from None
        self.check_alive()

    def press(self, mode):
        self.d.key(self.shortcuts[mode])

    def close_overlay(self, probe, reference):
        self.press("closeOverlay")
        self.settle(probe, reference, darker=False)


def read_fixture(popen, timeout=15.0):
    """The accessible program's window id and its panels (inside the window)."""
    window, panels, buffered = None, [], b""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        ready, _, _ = select.select([popen.stdout], [], [], 0.2)
        if not ready:
            continue
        chunk = os.read(popen.stdout.fileno(), 4096)
        if not chunk:
            break
        buffered += chunk
        lines = buffered.decode(errors="replace").splitlines()
        if "ready" in lines:
            for line in lines:
                words = line.split()
                if words[:1] == ["window"]:
                    window = int(words[1])
                elif words[:1] == ["panel"]:
                    panels.append(tuple(int(v) for v in words[2:6]))
            return window, panels
    raise PictureError("the program with accessible panels never reported its window")


def move_window(d, window, x, y):
    """Move a window's frame to (x, y) and wait for the window manager to do it."""
    before = d.window_rect(window)
    d.xdotool("windowmove", window, x, y)
    try:
        d.wait_for(lambda: d.window_rect(window)[:2] != before[:2], STEP_TIMEOUT, "the window to move")
    except DesktopError:
        pass
    time.sleep(0.3)


# --- the scenes ----------------------------------------------------------------------------

def selection_scene(s, out):
    """Selection mode: the crosshair, then a drag that grows the hole."""
    d = s.d
    box = DESKTOP_BOX
    start, end = SELECTION
    rest = (470, 330)
    probe = (500, 30)
    d.move_pointer(*rest)
    time.sleep(0.4)
    reference = d.capture()
    frames = [s.frame(box, PAIR, pointer=rest)]
    d.move_pointer(*start)
    time.sleep(0.1)
    frames.append(s.frame(box, PAIR, pointer=start))
    s.press("selectMode")
    s.settle(probe, reference, darker=True)
    frames.append(s.frame(box, PAIR, pointer=start, cursor="cross"))
    d.xdotool("mousedown", 1)
    steps = 4
    for i in range(1, steps + 1):
        at = (start[0] + (end[0] - start[0]) * i // steps, start[1] + (end[1] - start[1]) * i // steps)
        d.xdotool("mousemove", *at)
        time.sleep(0.35)
        frames.append(s.frame(box, PAIR, pointer=at, cursor="cross"))
    d.xdotool("mouseup", 1)
    time.sleep(0.6)
    s.check_alive()
    done = s.frame(box, PAIR, pointer=end)
    frames.append(done)
    gif(frames, [80, 60, 90] + [30] * (steps - 1) + [50, 300], os.path.join(out, "selectionmode-animated.gif"))
    s.still(done, os.path.join(out, "selectionmode-drop.png"))
    s.close_overlay(probe, reference)


def window_scene(s, out, terminal):
    """Window mode: the window under the pointer clear, the rest dimmed, and the hole
    following the window when it moves."""
    d = s.d
    box = DESKTOP_BOX
    fx, fy, fw, fh = d.frame_rect(terminal)
    over = (fx + fw // 2 + 60, fy + fh // 2 + 30)
    rest = (470, 370)
    probe = (500, 30)
    d.move_pointer(*rest)
    time.sleep(0.3)
    reference = d.capture()
    frames = [s.frame(box, PAIR, pointer=rest)]
    d.move_pointer(*over)
    time.sleep(0.2)
    frames.append(s.frame(box, PAIR, pointer=over))
    s.press("windowMode")
    s.settle(probe, reference, darker=True)
    s.check_alive()
    isolated = s.frame(box, PAIR, pointer=over)
    frames.append(isolated)
    # The window moves (as when dragged by its title bar); the hole follows it.
    for dx, dy in ((30, 25), (60, 50), (90, 75)):
        move_window(d, terminal, fx + dx, fy + dy)
        frames.append(s.frame(box, PAIR, pointer=(over[0] + dx, over[1] + dy)))
    gif(frames, [70, 80, 160, 35, 35, 220], os.path.join(out, "windowmode-animated.gif"))
    s.still(isolated, os.path.join(out, "windowmode-drop.png"))
    s.close_overlay(probe, reference)
    move_window(d, terminal, fx, fy)


def clickout_scene(s, out, terminal):
    """Click-out: a click on the veil closes the overlay. Two views side by side: the
    click on the veil, and the desktop clear again."""
    d = s.d
    box = DESKTOP_BOX
    fx, fy, fw, fh = d.frame_rect(terminal)
    over = (fx + fw // 2, fy + fh // 2)
    click_at = (470, 350)
    probe = (500, 30)
    d.move_pointer(*click_at)
    time.sleep(0.3)
    reference = d.capture()
    d.move_pointer(*over)
    s.press("windowMode")
    s.settle(probe, reference, darker=True)
    d.move_pointer(*click_at)
    time.sleep(0.3)
    panel = (200, 150)
    veiled = s.frame(box, panel, pointer=click_at, click=True)
    d.click()
    if not s.settle(probe, reference, darker=False):
        raise PictureError("a click on the veil did not close the overlay")
    s.check_alive()
    clear = s.frame(box, panel, pointer=click_at)
    w, h = WIDE
    top, right = (h - panel[1]) // 2, w - 10 - panel[0]
    mid = h // 2
    convert("-size", f"{w}x{h}", "xc:#f4f6f9",
            "-fill", "#c3c9d1", "-draw", f"rectangle 9,{top - 1} {10 + panel[0]},{top + panel[1]}",
            "-draw", f"rectangle {right - 1},{top - 1} {right + panel[0]},{top + panel[1]}",
            veiled, "-geometry", f"+10+{top}", "-composite",
            clear, "-geometry", f"+{right}+{top}", "-composite",
            "-fill", "#4a90d9", "-draw", f"polygon 214,{mid - 9} 227,{mid} 214,{mid + 9}",
            "-draw", f"rectangle 212,{mid - 3} 215,{mid + 3}",
            "-strip", os.path.join(out, "clickout.png"))


def pattern_scene(s, out, article, name, panel, at):
    """Pattern mode: the panel around the pointer clear. Only written when the hole is
    that panel and not the whole window (as when the window cannot be captured)."""
    d = s.d
    d.activate(article)
    ix, iy, _, _ = d.window_rect(article)
    fx, fy, fw, fh = d.frame_rect(article)
    box = (fx - (520 - fw) // 2, fy - (390 - fh) // 2, 520, 390)
    pointer = (ix + at[0], iy + at[1])
    away = (box[0] + 500, box[1] + 375)
    probe = (box[0] + 6, box[1] + 6)
    inside = (ix + panel[0] + 5, iy + panel[1] + 5)
    banner = (ix + 200, iy + 10)
    d.move_pointer(*away)
    time.sleep(0.3)
    reference = d.capture()
    frames = [s.frame(box, PAIR, pointer=away)]
    mid = ((away[0] + pointer[0]) // 2, (away[1] + pointer[1]) // 2)
    d.move_pointer(*mid)
    frames.append(s.frame(box, PAIR, pointer=mid))
    d.move_pointer(*pointer)
    time.sleep(0.2)
    frames.append(s.frame(box, PAIR, pointer=pointer))
    s.press("patternMode")
    s.settle(probe, reference, darker=True)
    s.check_alive()
    time.sleep(0.3)
    shot = d.capture()
    result = s.frame(box, PAIR, pointer=pointer)
    frames.append(result)
    s.close_overlay(probe, reference)

    def dimmed(xy):
        return sum(shot.pixel(*xy)) < sum(reference.pixel(*xy)) - 60
    if dimmed(inside) or not dimmed(banner):
        what = "the whole window" if not dimmed(banner) else "not the panel"
        return f"pattern mode isolated {what}, so {name} pictures were left as they are"
    gif(frames, [80, 30, 90, 280], os.path.join(out, f"{name}-animated.gif"))
    s.still(result, os.path.join(out, f"{name}-drop.png"))
    return None


def view_scene(s, out):
    """View mode: a window with two panels, the pointer over one of them; then that
    panel clear."""
    d = s.d
    if not os.path.exists(s.fixture):
        return f"no {s.fixture}: view mode pictures left as they are"
    fixture = d.spawn([s.fixture, "--title", "Notes", "--geometry", PANELS_GEOMETRY], name="panels",
                      stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    window, panels = read_fixture(fixture)
    if window is None or len(panels) != 2:
        raise PictureError(f"the program with accessible panels described itself as {window}, {panels}")
    ix, iy, _, _ = d.window_rect(window)
    (tx, ty, tw, th), (lx, ly, lw, lh) = [(ix + x, iy + y, w, h) for x, y, w, h in panels]
    d.click(tx + tw // 2, ty + 20)
    time.sleep(0.3)
    for line in ["Shopping list", "- apples", "- bread", "- coffee", "- tomato seeds", "",
                 "Call Anna about the", "garden map."]:
        if line:
            d.xdotool("type", "--delay", "8", "--", line)
        d.key("Return")
    fx, fy, fw, fh = d.frame_rect(window)
    box = (fx - (520 - fw) // 2, fy - (390 - fh) // 2, 520, 390)
    pointer = (tx + tw // 2 + 20, ty + th - 50)
    away = (box[0] + 500, box[1] + 375)
    probe = (lx + lw // 2, ly + lh // 2)
    d.move_pointer(*away)
    time.sleep(1.0)
    reference = d.capture()
    d.move_pointer(*pointer)
    time.sleep(0.3)
    s.still(s.frame(box, PAIR, pointer=pointer), os.path.join(out, "viewmode1.png"))
    # The program may still be joining the accessibility bus: a first press can see
    # the window without its panels.
    for _ in range(3):
        s.press("viewMode")
        if s.settle(probe, reference, darker=True, timeout=3.0):
            break
    s.check_alive()
    time.sleep(0.3)
    s.still(s.frame(box, PAIR, pointer=pointer), os.path.join(out, "viewmode2.png"))
    s.close_overlay(probe, reference)
    d.terminate(fixture)
    return None


TINT2RC = """# A plain dark panel: the task bar and the tray, no clock.
rounded = 0
border_width = 0
background_color = #262d36 100
border_color = #262d36 0
panel_items = TS
panel_position = bottom center horizontal
panel_size = 100% 30
panel_background_id = 1
taskbar_mode = single_desktop
task_font = DejaVu Sans 9
task_font_color = #e8ecf0 100
task_background_id = 0
task_active_background_id = 0
task_text = 1
task_icon = 0
task_maximum_size = 160 24
systray_padding = 6 4 4
systray_icon_size = 22
"""


def menu_window(d):
    """The open tray menu: (x, y, width, height), or None."""
    best = None
    for window in d.run(["xdotool", "search", "--onlyvisible", "--class", "Dimwell"], check=False).split():
        try:
            x, y, w, h = d.window_rect(int(window))
        except DesktopError:
            continue
        if h > 120 and w < 600 and (best is None or h > best[3]):
            best = (x, y, w, h)
    return best


def menu_rows(d, menu):
    """Centres (y) of the menu's items, found from its separator lines: four items,
    a line, five items, a line, one item."""
    x, y, w, h = menu
    column = d.capture(x + w - 12, y, 1, h)
    plain = column.pixel(0, h // 2 - 3)
    lines = [row for row in range(3, h - 3) if sum(abs(a - b) for a, b in zip(column.pixel(0, row), plain)) > 30]
    groups = []
    for row in lines:
        if groups and row - groups[-1][-1] <= 2:
            groups[-1].append(row)
        else:
            groups.append([row])
    if len(groups) < 2:
        return None
    first, second = (sum(g) / len(g) for g in groups[:2])
    item = (second - first) / 5.0
    return [round(first - item * (3.5 - i)) for i in range(4)] + [round(first + item * (i + 0.5)) for i in range(5)]


def help_scene(s, out, work):
    """The tray menu open at Help; then, when the program has one, its settings window."""
    d = s.d
    rc = os.path.join(work, "tint2rc")
    with open(rc, "w") as f:
        f.write(TINT2RC)
    d.spawn(["tint2", "-c", rc], name="tint2")
    icon = d.wait_for(lambda: d.docked_icon("Dimwell"), STEP_TIMEOUT * 2, "Dimwell's icon in the tray", interval=0.2)
    x, y, w, h = icon
    d.move_pointer(700, 300)
    time.sleep(0.8)
    d.click(x + w // 2, y + h // 2)
    s.wait_for_log("menu active")
    menu = d.wait_for(lambda: menu_window(d), STEP_TIMEOUT, "the tray menu", interval=0.1)
    time.sleep(0.3)
    rows = menu_rows(d, menu)
    if rows is None:
        d.key("Escape")
        return "the tray menu's items could not be told apart: help.png left as it is"
    mx, my, mw, mh = menu
    on_help = (mx + 70, my + rows[5])
    d.move_pointer(*on_help)
    time.sleep(0.4)
    # The menu and the tray below it, scaled to fit.
    bw, bh = 500, 250
    box = (min(mx - 90, 1280 - bw), 800 - bh, bw, bh)
    s.still(s.frame(box, WIDE, pointer=on_help), os.path.join(out, "help.png"))
    settings_scene(s, out, (mx + 70, my + rows[4]))
    return None


def settings_scene(s, out, item):
    """The settings window, opened from the menu, when this Dimwell has one."""
    d = s.d
    d.click(*item)
    try:
        window = d.wait_for_window("Dimwell Settings", timeout=4.0)
    except DesktopError:
        d.key("Escape")
        print("  no settings window opened from the menu: preferences.png left as it is", flush=True)
        return
    d.activate(window)
    time.sleep(0.8)
    fx, fy, fw, fh = d.frame_rect(window)
    raw = os.path.join(s.work, "settings.png")
    d.capture(fx, fy, fw, fh).save_png(raw)
    w, h = WIDE
    convert("-size", f"{w}x{h}", "xc:#f4f6f9", "(", raw, "-filter", "Lanczos", "-resize", f"{w - 16}x{h - 16}",
            ")", "-gravity", "center", "-composite", "-strip", os.path.join(out, "preferences.png"))
    d.key("Escape")


# --- the whole run -------------------------------------------------------------------------

def fixture_for(binary):
    build = os.path.dirname(os.path.dirname(os.path.abspath(binary)))
    return os.path.join(build, "tests", "x11", "dimwell_atspi_fixture")


def take(binary, fixture, out, only):
    """Take every picture (or those of the scenes named in only); returns the notes
    on pictures that could not be taken."""
    work = tempfile.mkdtemp(prefix="dimwell-pictures-")
    wanted = lambda name: not only or name in only  # noqa: E731
    notes = []
    try:
        with Desktop(monitors=SCREEN, atspi=True, background=WALLPAPER) as d:
            s = Studio(d, binary, fixture, work)
            terminal = start_terminal(d)
            article = d.picture(draw_article(os.path.join(work, "article.png")), title="Garden Notes",
                                position=ARTICLE_AT)
            d.activate(terminal)
            s.start_dimwell()
            scenes = [
                ("selection", lambda: selection_scene(s, out)),
                ("window", lambda: window_scene(s, out, terminal)),
                ("clickout", lambda: clickout_scene(s, out, terminal)),
                # the menu, with the pointer on its plain white below the items
                ("pattern1", lambda: pattern_scene(s, out, article, "patternmode1", MENU_PANEL,
                                                   (MENU_PANEL[0] + 50, MENU_PANEL[3] - 50))),
                # the video, on its plain dark
                ("pattern2", lambda: pattern_scene(s, out, article, "patternmode2", VIDEO_PANEL,
                                                   (VIDEO_PANEL[0] + 90, VIDEO_PANEL[1] + 40))),
                ("view", lambda: view_scene(s, out)),
                ("help", lambda: help_scene(s, out, work)),
            ]
            for name, scene in scenes:
                if wanted(name):
                    print(f"{name} ...", flush=True)
                    note = scene()
                    if note:
                        print(f"  {note}", flush=True)
                        notes.append(note)
                    s.check_alive()
            d.terminate(s.program)
        if wanted("keyboard"):
            print("keyboard ...", flush=True)
            draw_keyboard(work, os.path.join(out, "keyboard-animated.gif"), os.path.join(out, "keyboard-drop.gif"))
        if wanted("background"):
            draw_background(os.path.join(out, "tutbackground.png"))
    finally:
        if os.environ.get("DIMWELL_KEEP_PICTURE_FRAMES") == "1":
            print(f"frames kept in {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)
    return notes


def start_terminal(d):
    """A light terminal with a few lines of notes in it."""
    script = "printf '%s' \"$NOTES\"; exec sleep 3600"
    popen = d.spawn(["xterm", "-T", "Terminal", "-geometry", TERMINAL_GEOMETRY, "-fa", "DejaVu Sans Mono",
                     "-fs", "10", "-bg", "#fbfbf7", "-fg", "#1d2733", "-cr", "#1d2733", "-b", "6",
                     "-e", "sh", "-c", script], name="xterm", env=d.env({"NOTES": NOTES}))
    try:
        return d.wait_for_window("Terminal", STEP_TIMEOUT * 2)
    except DesktopError:
        if popen.poll() is not None:
            raise PictureError(f"xterm exited with status {popen.returncode}") from None
        raise


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--binary", default=os.path.join(SOURCE_DIR, "build", "bin", "Dimwell"))
    parser.add_argument("--out", default=os.path.join(SOURCE_DIR, "resources"))
    parser.add_argument("--fixture", default=None,
                        help="the program with accessible panels (default: next to the binary's build)")
    parser.add_argument("--only", action="append", default=[],
                        help="take only this scene (selection, window, clickout, pattern1, pattern2, view, "
                             "help, keyboard, background); may be repeated")
    args = parser.parse_args(argv)
    binary = os.path.abspath(args.binary)
    if not (os.path.isfile(binary) and os.access(binary, os.X_OK)):
        print(f"tutorial-pictures: no Dimwell program at {binary}; build it first", file=sys.stderr)
        return 1
    os.makedirs(args.out, exist_ok=True)
    try:
        notes = take(binary, os.path.abspath(args.fixture or fixture_for(binary)), os.path.abspath(args.out),
                     args.only)
    except (PictureError, DesktopError) as e:
        print(f"tutorial-pictures: {e}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        return 130
    print(f"pictures in {args.out}")
    for note in notes:
        print(f"tutorial-pictures: {note}", file=sys.stderr)
    return 2 if notes else 0


if __name__ == "__main__":
    sys.exit(main())
