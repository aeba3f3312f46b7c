"""What the end-to-end tests share: paths, preferences of a later run, starting
Dimwell on a test desktop, and pixel expectations retried until they hold."""
import os
import plistlib
import select
import sys
import time

SOURCE_DIR = os.environ.get("DIMWELL_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
BUILD_DIR = os.environ.get("DIMWELL_BUILD_DIR") or os.path.join(SOURCE_DIR, "build")
sys.path.insert(0, os.path.join(SOURCE_DIR, "scripts"))
from xdesktop import Desktop, DesktopError, _alive  # noqa: E402,F401
from demo import preset_shortcuts  # noqa: E402,F401

DIMWELL = os.path.join(BUILD_DIR, "bin", "Dimwell")
BACKGROUND = (128, 128, 128)
OPACITY = 0.8
STEP_TIMEOUT = 5.0


def out_dir(name):
    path = os.path.join(BUILD_DIR, "test-output", name)
    os.makedirs(path, exist_ok=True)
    return path


def veiled(rgb=BACKGROUND, opacity=OPACITY):
    return tuple(round(c * (1.0 - opacity)) for c in rgb)


def near(a, b, tolerance=4):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def write_prefs(d, **switches):
    """Preferences of a user who has run Dimwell before (no tutorial at start); returns the file."""
    folder = os.path.join(d.env()["XDG_CONFIG_HOME"], "Dimwell")
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "com.Orvalen.Dimwell.plist")
    prefs = {"opacity": OPACITY, "bringtofront": True, "clickout": False, "currentonly": False}
    prefs.update(switches)
    with open(path, "wb") as f:
        plistlib.dump(prefs, f)
    return path


def log_lines(d, name="Dimwell"):
    try:
        with open(d.log_path(name), errors="replace") as f:
            return [line.rstrip("\n").removeprefix("Dimwell: ") for line in f]
    except OSError:
        return []


def wait_for_line(d, line, count=1, name="Dimwell", timeout=10.0):
    d.wait_for(lambda: log_lines(d, name).count(line) >= count, timeout, f"log line {line!r} x{count}")


def start_dimwell(d, name="Dimwell", started=True, program=DIMWELL, args=()):
    program = d.spawn([program, *args], name=name, env=d.env({"DIMWELL_LOG_STDERR": "1"}))
    if started:
        wait_for_line(d, "Dimwell started", name=name)
    return program


def missing_log_lines(d, lines):
    text = "\n".join(log_lines(d))
    return [f"no {line!r} in Dimwell's log" for line in lines if line not in text]


def tray_icon(d):
    """(x, y, width, height) of Dimwell's icon docked in the tray, or None."""
    return d.docked_icon("Dimwell")


class Checks:
    """Named pixel expectations, retried until they all hold or time runs out; a
    screenshot of the last look is saved under the label."""

    def __init__(self, d, folder, failures):
        self.d, self.folder, self.failures = d, folder, failures

    def wait(self, label, expectations, timeout=STEP_TIMEOUT, record=True):
        """expectations: (what, (x, y) or (x, y, w, h) for "some pixel of it", rgb)."""
        deadline = time.monotonic() + timeout
        while True:
            shot = self.d.capture()
            wrong = []
            for what, where, want in expectations:
                points = [where] if len(where) == 2 else [
                    (where[0] + i, where[1] + j) for j in range(where[3]) for i in range(where[2])]
                if not any(near(shot.pixel(*p), want) for p in points):
                    wrong.append(f"{what} at {where} is {shot.pixel(*points[0])}, expected {want}")
            if not wrong or time.monotonic() > deadline:
                shot.save_png(os.path.join(self.folder, f"{label}.png"))
                if record:
                    self.failures.extend(f"{label}: {w}" for w in wrong)
                return not wrong
            time.sleep(0.1)


class LineReader:
    """A child's output line by line, each within a time bound; its own buffer, so
    that select() never misses a line a buffered reader already holds."""

    def __init__(self, popen, what):
        self.popen, self.what, self.pending = popen, what, b""

    def line(self, timeout=STEP_TIMEOUT):
        deadline = time.monotonic() + timeout
        while b"\n" not in self.pending:
            if not select.select([self.popen.stdout], [], [], max(0.0, deadline - time.monotonic()))[0]:
                raise DesktopError(f"{self.what} said nothing for {timeout:g} s")
            chunk = os.read(self.popen.stdout.fileno(), 4096)
            if not chunk:
                raise DesktopError(f"{self.what} ended (status {self.popen.poll()})")
            self.pending += chunk
        line, self.pending = self.pending.split(b"\n", 1)
        return line.decode(errors="replace").strip()


def run_main(main):
    """Runs a scenario returning its failures; the exit status for the test runner."""
    try:
        failures = main()
    except DesktopError as e:
        failures = [str(e)]
    for failure in failures:
        print("FAIL:", failure, file=sys.stderr)
    sys.exit(1 if failures else 0)
