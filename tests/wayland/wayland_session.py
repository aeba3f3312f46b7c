"""What the Wayland tests share: reading a child's lines with a deadline, pixel
checks that wait for the screen to settle, and Dimwell started on a test desktop,
driven by its remote control, with every failure gathered for one report."""
import os
import select
import subprocess
import sys
import time
import unittest

SOURCE = os.environ.get("DIMWELL_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
BIN = os.path.join(os.environ.get("DIMWELL_BUILD_DIR", "build"), "bin")
sys.path.insert(0, os.path.join(SOURCE, "scripts"))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
import waydesktop  # noqa: E402
from e2e_support import OPACITY, veiled, write_prefs  # noqa: E402,F401 (OPACITY: the masks' own)

GRAY = (128, 128, 128)
BLUE = (64, 96, 192)   # the toplevel fixture, unless it shows panels
STEP = 10.0
ATSPI_FIXTURE = os.path.join("..", "tests", "x11", "dimwell_atspi_fixture")


class Lines:
    """Lines a child writes, read with a deadline; `tell` writes a command and
    waits for its answer."""

    def __init__(self, popen):
        self.popen, self.buffer = popen, b""

    def next(self, timeout=STEP):
        deadline = time.monotonic() + timeout
        while b"\n" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.popen.stdout], [], [], left)[0]:
                return None
            chunk = os.read(self.popen.stdout.fileno(), 4096)
            if not chunk:
                return None
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.decode()

    def expect(self, wanted, timeout=STEP):
        """The next line that starts with `wanted`."""
        seen = []
        deadline = time.monotonic() + timeout
        while (line := self.next(deadline - time.monotonic())) is not None:
            if line.startswith(wanted):
                return line
            seen.append(line)
        raise AssertionError(f"no line {wanted!r} (saw {seen})")

    def pending(self, timeout=0.5):
        lines = []
        while (line := self.next(timeout)) is not None:
            lines.append(line)
        return lines

    def tell(self, *commands, answer="ok"):
        for command in commands:
            self.popen.stdin.write(command.encode() + b"\n")
            self.popen.stdin.flush()
            self.expect(answer)


def wait_until(condition, timeout):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.2)
    return True


def wrong_pixels(desktop, checks, output=None, timeout=5.0):
    """checks: (x, y, rgb, what); retried until the screen settles, then the mismatches."""
    wrong = []

    def settled():
        shot = desktop.screenshot(output=output)
        wrong[:] = [f"{what} at {x},{y}: {shot.pixel(x, y)}, want {rgb}" for x, y, rgb, what in checks
                    if any(abs(g - w) > 2 for g, w in zip(shot.pixel(x, y), rgb))]
        return not wrong
    wait_until(settled, timeout)
    return wrong


class Run:
    """One desktop with Dimwell on it; failures are gathered, not raised, so one
    run reports them all."""

    def __init__(self, desktop):
        self.d, self.failures, self.env = desktop, [], {"DIMWELL_LOG_STDERR": "1"}

    def program(self, name):
        """The build's `name`, copied once for the desktop's user (a running copy cannot be replaced)."""
        installed = os.path.join(self.d.dir, "bin", os.path.basename(name))
        return installed if os.path.exists(installed) else self.d.install(os.path.join(BIN, name))

    def window(self, app_id, width, height, *extra):
        """The toplevel fixture, shown; its lines (clicks, once a pointer exists)."""
        lines = Lines(self.d.spawn([self.program("dimwell_wayland_toplevel"), app_id, str(width), str(height),
                                    *extra], stdout=subprocess.PIPE, name=app_id))
        lines.expect("ready")
        return lines

    def start_dimwell(self, times=1):
        prefs = write_prefs(self.d)
        if os.geteuid() == 0:
            owner = waydesktop.ensure_user(self.d.user)
            for path in (os.path.dirname(prefs), prefs):
                os.chown(path, owner.pw_uid, owner.pw_gid)
        dimwell = self.d.spawn([self.program("Dimwell")], name="Dimwell", extra_env=self.env)
        if not wait_until(lambda: self.log().count("Dimwell: Dimwell started") == times, STEP):
            raise waydesktop.DesktopError("Dimwell did not start")
        return dimwell

    def log(self):
        try:
            with open(self.d.log_path("Dimwell"), errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def action(self, name):
        cmd, env = self.d.command([self.program("Dimwell"), "--action", name], self.env)
        done = subprocess.run(cmd, env=env, capture_output=True, text=True, timeout=STEP, cwd=self.d.dir)
        if done.returncode != 0:
            raise waydesktop.DesktopError(f"--action {name}: {done.stderr.strip()}")

    def check(self, ok, failure):
        self.failures += [] if ok else [failure]

    def expect(self, checks, what, output=None):
        wrong = wrong_pixels(self.d, checks, output)
        self.check(not wrong, f"{what}{' on ' + output if output else ''}: {wrong}")

    def view_mode(self, place, move, origin, output=None):
        """View mode over a Qt window (two views side by side) whose corner is put
        at `origin`: the hole is the list under the pointer, not the window."""
        said = Lines(self.d.spawn([self.program(ATSPI_FIXTURE), "--geometry", "600x400+0+0"],
                                  stdout=subprocess.PIPE, extra_env={**self.env, "QT_QPA_PLATFORM": "wayland",
                                                                     "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}))
        said.next()   # its window id
        text, listing = ([int(v) for v in said.next().split()[2:]] for _ in range(2))
        said.expect("ready")
        place("dimwell_atspi_fixture", *origin, 600, 400)
        self.action("closeOverlay")
        time.sleep(1.0)   # past the grace period a newly met application gets
        reference = self.d.screenshot(output=output)

        def at(view, what, clear):
            x, y = origin[0] + view[0] + view[2] // 2, origin[1] + view[1] + view[3] // 2
            rgb = reference.pixel(x, y)
            return (x, y, rgb if clear else veiled(rgb), what)
        move(origin[0] + listing[0] + listing[2] // 2, origin[1] + listing[1] + listing[3] * 3 // 4)
        self.action("viewMode")
        self.expect([at(listing, "the list", True), at(text, "the text beside it", False),
                     at((0, 0, 8, 400), "the window's margin", False)], "view mode", output)


def started(desktop):
    try:
        desktop.start()
        return True
    except waydesktop.DesktopUnavailable as e:
        print(f"skipped: {e}", file=sys.stderr)
        return False


def run(desktop, body):
    """body(Run) on a started desktop; the exit status (77: the desktop cannot start here)."""
    if not started(desktop):
        return waydesktop.SKIP_STATUS
    r = Run(desktop)
    try:
        body(r)
    except (waydesktop.DesktopError, AssertionError) as e:
        r.failures.append(str(e) or type(e).__name__)
    finally:
        desktop.stop(failed=bool(r.failures))
    for failure in r.failures:
        print(f"FAIL: {failure}", file=sys.stderr)
    if r.failures:
        print("Dimwell's log:\n" + r.log(), file=sys.stderr)
    return 1 if r.failures else 0


def run_cases(desktop, case, prepare=None):
    """The unittest case `case` on a started desktop (its `desktop`); the exit status."""
    if not started(desktop):
        return waydesktop.SKIP_STATUS
    try:
        if prepare:
            prepare(desktop)
        case.desktop = desktop
        result = unittest.main(argv=sys.argv[:1], exit=False, verbosity=2).result
        return 0 if result.wasSuccessful() else 1
    finally:
        desktop.stop(failed=os.environ.get("DIMWELL_KEEP_DESKTOP") == "1")
