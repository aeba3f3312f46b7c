#!/usr/bin/python3
"""The demo: Dimwell on a headless desktop with two monitors and a few windows.

The scenario is a list of steps; each drives the desktop the way a user would
(pointer and shortcuts through XTest), waits for the screen to settle and saves a
screenshot with a one-line note of what it shows. Add a step by writing a function
decorated with @step("file-name"); steps run in the order they are written.

Run it through the desktop harness: `xdesktop.py demo [--binary PATH] [--out DIR]`.
"""
import os
import plistlib
import pty
import shutil
import signal
import subprocess
import threading
import time

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SETTLE_TIMEOUT = 3.0

# Where the demo windows go on the default layout (1920x1080 with 1280x1024 to its right).
TERMINAL = dict(title="Terminal", geometry="90x28+160+140")
LOGO = dict(title="Logo", geometry="360x360+2300+180")
PICTURE = dict(title="Picture", position=(1060, 560))
SELECTION_DRAG = ((420, 330), (1400, 880))  # over parts of the terminal and the picture
VEIL_PROBE = (1000, 60)  # plain background on the first monitor, away from every window

# The shortcuts of the first preset, used when the bundle's list cannot be read.
FALLBACK_SHORTCUTS = {"selectMode": "ctrl+shift+z", "windowMode": "ctrl+shift+x",
                      "closeOverlay": "ctrl+shift+a", "increaseOpacity": "ctrl+shift+Up",
                      "decreaseOpacity": "ctrl+shift+Down"}
SYMBOL_KEYS = {"\u2190": "Left", "\u2192": "Right", "\u2193": "Down", "\u2191": "Up", "\u21e5": "Tab",
               "\u21a9": "Return", "\u238b": "Escape", "\u232b": "BackSpace"}


def preset_shortcuts(path=os.path.join(SOURCE_DIR, "resources", "hotkeys.plist")):
    """xdotool key names of the first preset's shortcuts, by mode name."""
    try:
        with open(path, "rb") as f:
            preset = plistlib.load(f)["default1"]
    except (OSError, KeyError, plistlib.InvalidFileException):
        return dict(FALLBACK_SHORTCUTS)
    shortcuts = {}
    for mode, record in preset.items():
        char = str(record.get("character", ""))
        key = SYMBOL_KEYS.get(char, char.lower())
        mods = [name for flag, name in (("control", "ctrl"), ("option", "alt"), ("shift", "shift"),
                                        ("command", "super")) if record.get(flag)]
        if key and mods:
            shortcuts[mode] = "+".join(mods + [key])
    return shortcuts or dict(FALLBACK_SHORTCUTS)


def dimmed_fraction(before, after, monitors, step=16):
    """Share of sampled points on the monitors that got clearly darker."""
    total = darker = 0
    for m in monitors:
        for y in range(m.y + step // 2, m.y + m.height, step):
            for x in range(m.x + step // 2, m.x + m.width, step):
                total += 1
                if sum(before.pixel(x, y)) - sum(after.pixel(x, y)) > 45:
                    darker += 1
    return darker / total if total else 0.0


def terminal_log(path):
    """A terminal whose output is copied into path; returns the terminal's fd, which the
    caller closes once the child has it.

    Dimwell writes its log lines to standard error only when that is a terminal.
    """
    master, slave = pty.openpty()

    def copy():
        with open(path, "wb") as log:
            while True:
                try:
                    data = os.read(master, 4096)
                except OSError:  # EIO: every writer has closed the terminal
                    break
                if not data:
                    break
                log.write(data.replace(b"\r\n", b"\n"))
                log.flush()
        os.close(master)
    threading.Thread(target=copy, daemon=True).start()
    return slave


class Scene:
    """What the steps share: the desktop, the running program, the first screenshot."""

    def __init__(self, desktop, binary, out):
        self.desktop = desktop
        self.binary = binary
        self.out = out
        self.shortcuts = preset_shortcuts()
        self.monitors = desktop.monitors()
        self.windows = {}
        self.baseline = None
        self.program = None
        self.overlay_seen = False
        self.selecting = False
        self.log = os.path.join(out, "dimwell.log")

    def press(self, mode):
        self.desktop.key(self.shortcuts.get(mode, FALLBACK_SHORTCUTS.get(mode)))

    def settle(self, want_dimmed):
        """Wait until the screen is (or is no longer) dimmed; return the last capture and
        the dimmed share."""
        deadline = time.monotonic() + SETTLE_TIMEOUT
        while True:
            time.sleep(0.15)
            shot = self.desktop.capture()
            share = dimmed_fraction(self.baseline, shot, self.monitors)
            if (share > 0.2) == want_dimmed or time.monotonic() > deadline:
                return shot, share

    def veil(self, shot):
        """What the plain background reads under the veil, against the desktop before."""
        x, y = VEIL_PROBE
        return f"background {self.baseline.pixel(x, y)[0]} reads {shot.pixel(x, y)[0]}"

    def check_alive(self):
        if self.program.poll() is not None:
            raise DemoError(f"Dimwell exited with status {self.program.returncode}, see {self.log}")


class DemoError(Exception):
    pass


STEPS = []


def step(name):
    def register(fn):
        STEPS.append((name, fn))
        return fn
    return register


@step("01-desktop")
def desktop_before(scene):
    d = scene.desktop
    scene.windows["terminal"] = d.xterm(**TERMINAL)
    scene.windows["logo"] = d.xlogo(**LOGO)
    scene.windows["picture"] = d.picture(**PICTURE)
    d.move_pointer(40, 1040)
    time.sleep(0.3)
    scene.baseline = d.capture()
    return scene.baseline, "two monitors, a terminal, a logo and a picture; Dimwell not running yet"


@step("02-dimwell-running")
def start_program(scene):
    d = scene.desktop
    # A stored opacity marks this as a later run, so the tutorial does not open over the demo.
    config = os.path.join(d.env()["XDG_CONFIG_HOME"], "Dimwell")
    os.makedirs(config, exist_ok=True)
    with open(os.path.join(config, "com.Orvalen.Dimwell.plist"), "wb") as f:
        plistlib.dump({"opacity": 0.8, "bringtofront": True, "clickout": True, "currentonly": False}, f)
    terminal = terminal_log(scene.log)
    try:
        scene.program = d.spawn([scene.binary], name="Dimwell", stdout=subprocess.DEVNULL, stderr=terminal)
    finally:
        os.close(terminal)
    time.sleep(1.5)
    scene.check_alive()
    return d.capture(), "Dimwell started and waits for its shortcuts (nothing visible yet)"


@step("03-window-mode")
def window_mode(scene):
    d = scene.desktop
    x, y, w, h = d.window_rect(scene.windows["terminal"])
    d.move_pointer(x + w // 2, y + h // 2)
    scene.press("windowMode")
    shot, share = scene.settle(want_dimmed=True)
    scene.check_alive()
    if share <= 0.2:
        return shot, f"window mode ({scene.shortcuts.get('windowMode')}) over the terminal: NO overlay appeared"
    scene.overlay_seen = True
    clear = shot.pixel(x + w // 2, y + h // 2) == scene.baseline.pixel(x + w // 2, y + h // 2)
    return shot, (f"window mode over the terminal: {share:.0%} of the monitors dimmed "
                  f"({scene.veil(shot)}), the terminal {'clear' if clear else 'NOT clear'}")


@step("04-opacity-up")
def opacity_up(scene):
    if not scene.overlay_seen:
        return None, "skipped: no overlay to change"
    scene.press("increaseOpacity")
    time.sleep(0.5)
    shot = scene.desktop.capture()
    return shot, f"opacity raised ({scene.shortcuts.get('increaseOpacity')}): {scene.veil(shot)}"


@step("05-closed")
def close_overlay(scene):
    scene.press("closeOverlay")
    shot, share = scene.settle(want_dimmed=False)
    scene.check_alive()
    return shot, "overlay closed" if share <= 0.2 else f"close shortcut: {share:.0%} of the monitors still dimmed"


@step("06-selection-mode")
def selection_mode(scene):
    d = scene.desktop
    (x0, y0), _ = SELECTION_DRAG
    d.move_pointer(x0 - 200, y0 + 150)
    scene.press("selectMode")
    d.move_pointer(x0, y0)
    shot, share = scene.settle(want_dimmed=True)
    scene.check_alive()
    scene.selecting = share > 0.2
    scene.overlay_seen |= scene.selecting
    return shot, (f"selection mode ({scene.shortcuts.get('selectMode')}): "
                  + (f"{share:.0%} dimmed ({scene.veil(shot)}), crosshair at the pointer"
                     if scene.selecting else "NO overlay appeared"))


@step("07-selection-drag")
def selection_drag(scene):
    d = scene.desktop
    (x0, y0), (x1, y1) = SELECTION_DRAG
    d.xdotool("mousemove", x0, y0, "mousedown", 1)
    for i in range(1, 11):
        d.xdotool("mousemove", x0 + (x1 - x0) * i // 10, y0 + (y1 - y0) * i // 10, "sleep", 0.03)
    time.sleep(0.3)
    shot = d.capture()
    d.xdotool("mouseup", 1)
    scene.check_alive()
    what = "the rectangle follows the pointer" if scene.selecting else "no selection mode to drag in"
    return shot, f"dragging from {SELECTION_DRAG[0]} to {SELECTION_DRAG[1]}: {what}"


@step("08-selection-done")
def selection_done(scene):
    d = scene.desktop
    (x0, y0), (x1, y1) = SELECTION_DRAG
    time.sleep(0.5)
    shot = d.capture()
    scene.check_alive()
    if not scene.selecting:
        return shot, "no selection made"
    cx, cy = (x0 + x1) // 2, (y0 + y1) // 2
    clear = shot.pixel(cx, cy) == scene.baseline.pixel(cx, cy)
    return shot, (f"the selected rectangle is the hole ({'clear' if clear else 'NOT clear'} at its centre), "
                  f"the rest dimmed ({scene.veil(shot)})")


@step("09-closed")
def close_selection(scene):
    scene.press("closeOverlay")
    shot, share = scene.settle(want_dimmed=False)
    scene.check_alive()
    return shot, "overlay closed" if share <= 0.2 else f"close shortcut: {share:.0%} of the monitors still dimmed"


def stop_program(scene):
    """SIGTERM, as a session logout would; the program should end cleanly."""
    if scene.program is None or scene.program.poll() is not None:
        return None
    scene.program.send_signal(signal.SIGTERM)
    try:
        return scene.program.wait(timeout=5)
    except subprocess.TimeoutExpired:
        scene.desktop.terminate(scene.program)
        return "did not end within 5 s of SIGTERM"


def missing_program(binary):
    """Why the program cannot be run, or None."""
    if os.path.isfile(binary) and os.access(binary, os.X_OK):
        return None
    return f"the Dimwell program is missing at {os.path.abspath(binary)}; build it first (scripts/run.sh does)"


def play(desktop, binary, out):
    """Run every step; returns the process exit status."""
    binary = os.path.abspath(binary)
    problem = missing_program(binary)
    if problem:
        print(f"demo: {problem}")
        return 1
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    scene = Scene(desktop, binary, out)
    status = 0
    print(f"demo: desktop {desktop.display} with monitors "
          + ", ".join(f"{m.width}x{m.height}+{m.x}+{m.y}" for m in desktop.monitors()))
    try:
        for name, fn in STEPS:
            shot, note = fn(scene)
            if shot is not None:
                desktop.screenshot(os.path.join(out, f"{name}.png"), shot)
            print(f"  {name}.png: {note}", flush=True)
    except DemoError as e:
        print(f"demo: {e}")
        status = 1
    finally:
        result = stop_program(scene)
        if result not in (None, 0):
            if isinstance(result, int):
                result = f"was killed by signal {-result}" if result < 0 else f"exited with status {result}"
            print(f"demo: Dimwell {result} when asked to quit, see {scene.log}")
            status = 1
    if status == 0 and not scene.overlay_seen:
        print("demo: the overlay never appeared; the shortcuts had no visible effect")
        status = 1
    print(f"demo: screenshots in {out}")
    return status
