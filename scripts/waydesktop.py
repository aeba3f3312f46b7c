#!/usr/bin/python3
"""Real Wayland desktops for tests: a headless sway or KWin, standard library only.

A `SwayDesktop` is sway on the headless wlroots backend with the pixman renderer,
under a private session bus, with outputs of solid gray (so screenshot pixels are
exact) and every window floating where it is put. sway refuses to run as root,
so when this runs as root (CI does) sway and every client run as an unprivileged
test user, created once with useradd; each desktop has its own XDG_RUNTIME_DIR
(mode 0700, owned by that user) in a temporary folder. Every process it starts is
recorded by process id and stopped by that id when the desktop ends, also on
exceptions and on SIGTERM/SIGHUP/SIGINT.

    with SwayDesktop() as d:
        probe = d.spawn(["probe", ...], stdout=subprocess.PIPE)
        d.swaymsg("create_output")
        shot = d.screenshot(output="HEADLESS-1")
        shot.pixel(10, 10)
        with NestedSway(d) as nested:     # outputs that can be unplugged
            nested.unplug("WL-2")

As a program:
    waydesktop.py run [--outputs SPEC] [--timeout S] -- CMD...
        runs CMD on a fresh desktop (as the test user, WAYLAND_DISPLAY and SWAYSOCK
        set) and exits with its status; 77 when sway cannot start here.
    waydesktop.py run --kwin [--outputs SPEC] -- CMD...
        the same on a headless KWin (DBUS_SESSION_BUS_ADDRESS set to KWin's bus).

Output specs: "1280x720,1024x768" (each to the right of the one before) or with
positions, "1280x720+0+0,1024x768+1280+0".
"""
import argparse
import atexit
import ctypes
import glob
import json
import os
import pwd
import re
import shutil
import subprocess
import sys
import tempfile
import time
import weakref

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xdesktop  # noqa: E402  (process bookkeeping shared with the X desktops)

DEFAULT_OUTPUTS = "1280x720,1024x768"
BACKGROUND = (128, 128, 128)
TEST_USER = "dimwell-test"
START_TIMEOUT = 20.0
HELPER_TIMEOUT = 10.0
SKIP_STATUS = 77  # CTest's and automake's "skipped"

DesktopError = xdesktop.DesktopError


class DesktopUnavailable(DesktopError):
    """sway cannot run on this machine (not installed, or it will not start)."""


def parse_outputs(spec):
    """Output layout as (width, height, x, y) tuples; see the module text."""
    return xdesktop.parse_monitors(spec)


def ensure_user(name=TEST_USER):
    """The unprivileged user sway runs as when we are root; made once."""
    try:
        return pwd.getpwnam(name)
    except KeyError:
        pass
    done = subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", name],
                          capture_output=True, text=True)
    if done.returncode != 0 and "already exists" not in done.stderr:
        raise DesktopUnavailable(f"cannot create the test user {name}: {done.stderr.strip()}")
    return pwd.getpwnam(name)


_live_desktops = weakref.WeakSet()


@atexit.register
def _stop_all_desktops():
    for desktop in list(_live_desktops):
        desktop.stop()


class SwayDesktop:
    """A private headless sway; use as a context manager or call start() and stop()."""

    NAME = "sway"

    def __init__(self, outputs=DEFAULT_OUTPUTS, background=BACKGROUND, user=TEST_USER, keep_files=None):
        self.layout = parse_outputs(outputs)
        self.background = tuple(background)
        self.as_root = os.geteuid() == 0
        self.user = user if self.as_root else None
        self.keep_files = (os.environ.get("DIMWELL_KEEP_DESKTOP") == "1") if keep_files is None else keep_files
        self.dir = None
        self.runtime = None
        self.wayland_display = None
        self.swaysock = None
        self._procs = []
        self._shots = 0
        self._started = False
        self._old_handlers = {}

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    # --- life cycle -------------------------------------------------------------------

    def start(self):
        if self._started:
            return self
        self._check_installed()
        if xdesktop._libc is None:
            xdesktop._libc = ctypes.CDLL(None, use_errno=True)
        self._install_signal_handlers()
        _live_desktops.add(self)
        self._started = True
        try:
            owner = ensure_user(self.user) if self.as_root else None
            self.dir = tempfile.mkdtemp(prefix=f"dimwell-{self.NAME}-")
            for sub in ("home", "config", "cache", "logs", "shots"):
                os.makedirs(os.path.join(self.dir, sub))
            self.runtime = os.path.join(self.dir, "runtime")
            os.makedirs(self.runtime, mode=0o700)
            if owner:
                for root, dirs, _ in os.walk(self.dir):
                    for d in [root] + [os.path.join(root, d) for d in dirs]:
                        os.chown(d, owner.pw_uid, owner.pw_gid)
                os.chmod(self.dir, 0o755)
            self._launch()
        except BaseException:
            self.stop(failed=True)
            raise
        return self

    def _check_installed(self):
        if not shutil.which("sway"):
            raise DesktopUnavailable("sway is not installed (apt-get install sway swaybg grim)")

    def _launch(self):
        self._write_config()
        self._start_sway()

    def stop(self, failed=False):
        """Stop every process this desktop started, newest first, by process id."""
        if not self._started:
            return
        blocked = xdesktop.Desktop._block_signals()
        try:
            survivors = []
            while self._procs:
                _, popen = self._procs.pop()
                survivors += xdesktop.stop_process(popen)
            if survivors:
                print(f"waydesktop: processes {survivors} did not end even after SIGKILL", file=sys.stderr)
            if self.dir and os.path.isdir(self.dir):
                if failed or self.keep_files:
                    print(f"waydesktop: desktop files kept in {self.dir}", file=sys.stderr)
                else:
                    shutil.rmtree(self.dir, ignore_errors=True)
        finally:
            self._started = False
            _live_desktops.discard(self)
            xdesktop.Desktop._restore_signals(blocked)
            self._restore_signal_handlers()

    # SIGTERM and SIGHUP become SystemExit, so that `with` blocks clean up.
    _install_signal_handlers = xdesktop.Desktop._install_signal_handlers
    _restore_signal_handlers = xdesktop.Desktop._restore_signal_handlers

    def _write_config(self):
        grey = "#%02x%02x%02x" % self.background
        lines = [f"output * bg {grey} solid_color"]
        for i, (w, h, x, y) in enumerate(self.layout, start=1):
            lines.append(f"output HEADLESS-{i} resolution {w}x{h} position {x} {y} scale 1")
        lines += [
            'for_window [app_id=".*"] floating enable',
            "default_border none",
            "default_floating_border none",
            "focus_follows_mouse no",
            "seat * hide_cursor 100",
        ]
        self.config = os.path.join(self.dir, "config", "sway.conf")
        with open(self.config, "w") as f:
            f.write("\n".join(lines) + "\n")
        os.chmod(self.config, 0o644)

    def _start_sway(self):
        env = {
            "WLR_BACKENDS": "headless",
            "WLR_RENDERER": "pixman",
            "WLR_HEADLESS_OUTPUTS": str(len(self.layout)),
            "WLR_LIBINPUT_NO_DEVICES": "1",
        }
        log = self.log_path("sway")
        sway = self.spawn(["dbus-run-session", "--", "sway", "-c", self.config], name="sway", extra_env=env)
        deadline = time.monotonic() + START_TIMEOUT
        while time.monotonic() < deadline:
            if sway.poll() is not None:
                raise DesktopUnavailable(f"sway ended at start ({self._last_line(log)})")
            sockets = sorted(glob.glob(os.path.join(self.runtime, "wayland-*[0-9]")))
            ipc = glob.glob(os.path.join(self.runtime, "sway-ipc.*.sock"))
            if sockets and ipc:
                self.wayland_display = os.path.basename(sockets[0])
                self.swaysock = ipc[0]
                try:
                    if len([o for o in self.outputs() if o["active"]]) >= len(self.layout):
                        return
                except DesktopError:
                    pass
            time.sleep(0.1)
        raise DesktopUnavailable(f"sway did not answer within {START_TIMEOUT:g} s ({self._last_line(log)})")

    @staticmethod
    def _last_line(log):
        try:
            with open(log, errors="replace") as f:
                lines = [line.strip() for line in f if line.strip()]
        except OSError:
            return "no log"
        return lines[-1] if lines else "no log"

    # --- processes --------------------------------------------------------------------

    def env(self, extra=None):
        """Environment of programs on this desktop; nothing of the caller's desktop."""
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK", "DBUS_SESSION_BUS_ADDRESS", "XAUTHORITY",
                            "XDG_CURRENT_DESKTOP", "XDG_SESSION_TYPE", "I3SOCK")}
        env.update({
            "HOME": os.path.join(self.dir, "home"),
            "XDG_CONFIG_HOME": os.path.join(self.dir, "config"),
            "XDG_CACHE_HOME": os.path.join(self.dir, "cache"),
            "XDG_RUNTIME_DIR": self.runtime,
        })
        if self.wayland_display:
            env["WAYLAND_DISPLAY"] = self.wayland_display
        if self.swaysock:
            env["SWAYSOCK"] = self.swaysock
        if self.user:
            env.update({"USER": self.user, "LOGNAME": self.user})
        if extra:
            env.update(extra)
        return env

    def command(self, cmd, extra_env=None):
        """`cmd` as the desktop's user would run it, with the desktop's environment."""
        env = self.env(extra_env)
        if not self.as_root:
            return list(cmd), env
        pairs = [f"{k}={v}" for k, v in sorted(env.items())]
        return ["runuser", "-u", self.user, "--", "env", "-i"] + pairs + list(cmd), env

    def log_path(self, name):
        return os.path.join(self.dir, "logs", f"{name}.log")

    def spawn(self, cmd, name=None, extra_env=None, stdin=subprocess.DEVNULL, stdout=None, stderr=None,
              new_session=True, **popen_args):
        """Start a client (as the desktop's user) and track it by process id. Output
        not asked for goes to logs/NAME.log."""
        name = name or os.path.basename(cmd[0])
        full, env = self.command(cmd, extra_env)
        log = None
        if stdout is None or stderr is None:
            log = open(self.log_path(name), "ab")
        try:
            popen_args.setdefault("cwd", self.dir)  # the caller's folder may be closed to the user
            popen = subprocess.Popen(full, env=env, stdin=stdin, stdout=log if stdout is None else stdout,
                                     stderr=log if stderr is None else stderr, start_new_session=new_session,
                                     preexec_fn=xdesktop._die_with_parent, **popen_args)
        except OSError as e:
            raise DesktopError(f"cannot start {cmd[0]}: {e.strerror}") from e
        finally:
            if log:
                log.close()
        self._procs.append((name, popen))
        return popen

    def install(self, program):
        """A copy of `program` that the desktop's user may run, in the desktop's folder:
        a build tree under a private home is out of that user's reach."""
        target = os.path.join(self.dir, "bin", os.path.basename(program))
        os.makedirs(os.path.dirname(target), mode=0o755, exist_ok=True)
        shutil.copy2(program, target)
        os.chmod(target, 0o755)
        return target

    def terminate(self, popen):
        """Stop one client started with spawn() (and what it started), by process id."""
        survivors = xdesktop.stop_process(popen)
        self._procs = [(n, p) for n, p in self._procs if p is not popen]
        return survivors

    def run(self, cmd, timeout=HELPER_TIMEOUT, check=True):
        """Run a short client command and return its standard output."""
        full, env = self.command(cmd)
        try:
            done = subprocess.run(full, env=env, capture_output=True, text=True, timeout=timeout, cwd=self.dir)
        except subprocess.TimeoutExpired:
            raise DesktopError(f"{' '.join(cmd)} did not finish within {timeout:g} s") from None
        except OSError as e:
            raise DesktopError(f"cannot run {cmd[0]}: {e.strerror}") from e
        if check and done.returncode != 0:
            reason = done.stderr.strip().splitlines() or done.stdout.strip().splitlines()
            raise DesktopError(f"{' '.join(cmd)} failed ({done.returncode}): {reason[-1] if reason else 'no message'}")
        return done.stdout

    # --- sway -------------------------------------------------------------------------

    def swaymsg(self, *args, kind=None):
        """Send a command (or a query with kind="get_outputs" ...) over sway's IPC; the
        answer parsed from JSON. A failed command raises."""
        cmd = ["swaymsg", "-r"] + (["-t", kind] if kind else []) + ["--"] + list(args)
        answer = json.loads(self.run(cmd, check=kind is not None) or "null")
        if kind is None and isinstance(answer, list):
            failed = [r.get("error", "failed") for r in answer if not r.get("success")]
            if failed:
                raise DesktopError(f"swaymsg {' '.join(args)}: {failed[0]}")
        return answer

    def outputs(self):
        """sway's outputs: name, active, rect (logical x, y, width, height), scale."""
        return self.swaymsg(kind="get_outputs")

    def layout_size(self):
        """Width and height of the box around every active output, in logical points."""
        rects = [o["rect"] for o in self.outputs() if o["active"]]
        return (max(r["x"] + r["width"] for r in rects), max(r["y"] + r["height"] for r in rects))

    def create_output(self, resolution=None, position=None):
        """A new headless output (configured when asked); returns its name."""
        before = {o["name"] for o in self.outputs()}
        self.swaymsg("create_output")
        name = xdesktop.Desktop.wait_for(
            lambda: next((o["name"] for o in self.outputs() if o["name"] not in before), None),
            HELPER_TIMEOUT, "the new output")
        settings = []
        if resolution:
            settings += ["resolution", resolution]
        if position:
            settings += ["position", str(position[0]), str(position[1])]
        if settings:
            self.swaymsg("output", name, *settings)
        return name

    # --- screen -----------------------------------------------------------------------

    def screenshot(self, output=None, path=None):
        """The screen (one output at its own scale, or every output) as an xdesktop.Image
        of RGB pixels; `path` also keeps it as a PNG."""
        self._shots += 1
        shot = os.path.join(self.dir, "shots", f"{self._shots}.ppm")
        self.run(["grim", "-t", "ppm"] + (["-o", output] if output else []) + [shot])
        image = xdesktop.Image.open(shot)
        os.unlink(shot)
        if path:
            image.save_png(path)
        return image


class NestedSway(SwayDesktop):
    """A sway running as a client of another, its outputs windows there. Closing
    such a window (unplug()) takes the output away for real: the nested sway's
    clients see the wl_output global go and their layer surfaces closed, which a
    headless output cannot do. Shares the parent's user, folder and runtime dir."""

    def __init__(self, parent, outputs=2):
        super().__init__(outputs=",".join(["640x480"] * outputs), background=parent.background, user=parent.user)
        self.parent = parent

    def start(self):
        if self._started:
            return self
        parent = self.parent
        self.as_root, self.user, self.dir, self.runtime = parent.as_root, parent.user, parent.dir, parent.runtime
        _live_desktops.add(self)
        self._started = True
        try:
            sockets = set(glob.glob(os.path.join(self.runtime, "wayland-*[0-9]")))
            ipcs = set(glob.glob(os.path.join(self.runtime, "sway-ipc.*.sock")))
            self.config = os.path.join(self.dir, "config", f"nested-{len(sockets)}.conf")
            with open(self.config, "w") as f:
                f.write("output * bg #%02x%02x%02x solid_color\n" % self.background)
            os.chmod(self.config, 0o644)
            env = {"WLR_BACKENDS": "wayland", "WLR_WL_OUTPUTS": str(len(self.layout)), "WLR_RENDERER": "pixman",
                   "WAYLAND_DISPLAY": parent.wayland_display}
            log = self.log_path("nested-sway")
            sway = self.spawn(["sway", "-c", self.config], name="nested-sway", extra_env=env)

            def ready():
                if sway.poll() is not None:
                    raise DesktopError(f"the nested sway ended at start ({self._last_line(log)})")
                new = set(glob.glob(os.path.join(self.runtime, "wayland-*[0-9]"))) - sockets
                ipc = set(glob.glob(os.path.join(self.runtime, "sway-ipc.*.sock"))) - ipcs
                if not new or not ipc:
                    return False
                self.wayland_display, self.swaysock = os.path.basename(min(new)), min(ipc)
                try:
                    return len([o for o in self.outputs() if o["active"]]) >= len(self.layout)
                except DesktopError:
                    return False

            xdesktop.Desktop.wait_for(ready, START_TIMEOUT, "the nested sway")
        except BaseException:
            self.stop()
            raise
        return self

    def stop(self, failed=False):
        if not self._started:
            return
        blocked = xdesktop.Desktop._block_signals()
        try:
            while self._procs:
                xdesktop.stop_process(self._procs.pop()[1])
        finally:
            self._started = False
            _live_desktops.discard(self)
            xdesktop.Desktop._restore_signals(blocked)

    def unplug(self, output):
        """Close the parent's window that shows `output` (WL-1, WL-2, ...)."""
        self.parent.swaymsg(f'[title="wlroots - {output}"]', "kill")


class KWinDesktop(SwayDesktop):
    """A private headless KWin (Plasma 5.27+) with Xwayland, under its own session
    bus (dbus-run-session), which every client here shares. Outputs are
    Virtual-0, Virtual-1, ... side by side, all of one size; KWin paints no
    wallpaper, so the screen is black where no window is.

    KWin's pointer moves through its fake-input protocol (allowed here by
    KWIN_WAYLAND_NO_PERMISSION_CHECKS=1) and screenshots come from its ScreenShot2
    interface through `screenshot_program` (tests/wayland/fixtures/kwin_screenshot),
    which KWin trusts by a desktop entry naming it (without one, no screenshots). KWin sometimes refuses a
    screenshot for good all the same: a KWin that refuses the first one is
    replaced by a fresh one, a few times over. `trusted` pairs a program's own
    desktop entry with the program, which is installed and trusted the same way
    by that entry, its Exec pointing at the installed copy."""

    NAME = "kwin"
    STARTS = 4

    def __init__(self, screenshot_program=None, outputs=2, size=(1280, 720), user=TEST_USER, keep_files=None,
                 trusted=()):
        super().__init__(outputs=",".join([f"{size[0]}x{size[1]}"] * outputs), background=(0, 0, 0), user=user,
                         keep_files=keep_files)
        self.size = size
        self.screenshot_program = screenshot_program
        self.trusted = trusted
        self.bus_address = None
        self._kwin = None

    def _check_installed(self):
        for program in ("kwin_wayland", "dbus-run-session", "kbuildsycoca5"):
            if not shutil.which(program):
                raise DesktopUnavailable(f"{program} is not installed (apt-get install kwin-wayland)")

    def env(self, extra=None):
        env = super().env(extra=None)
        env["XDG_DATA_HOME"] = os.path.join(self.dir, "data")
        if self.bus_address:
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        if extra:
            env.update(extra)
        return env

    def _launch(self):
        # The packaged binary carries a file capability that a user in a container
        # may not exec; a plain copy (no extended attributes) must keep its name
        # for its Qt platform plugin.
        kwin = os.path.join(self.dir, "kwin", "kwin_wayland")
        os.makedirs(os.path.dirname(kwin), mode=0o755)
        shutil.copyfile(shutil.which("kwin_wayland"), kwin)
        os.chmod(kwin, 0o755)
        if not self.screenshot_program:
            self._start_kwin(kwin, "wayland-kwin-0")
            return
        self.screenshot_program = self.install(self.screenshot_program)
        applications = os.path.join(self.dir, "data", "applications")
        os.makedirs(applications)
        with open(os.path.join(applications, "dimwell-test-screenshot.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Test screenshots\nNoDisplay=true\n"
                    f"Exec={self.screenshot_program}\n"
                    "X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n")
        for entry, program in self.trusted:
            installed = self.install(program)
            with open(entry) as f:
                text = re.sub(r"^(Try)?Exec=.*$", lambda m: f"{m.group(1) or ''}Exec={installed}", f.read(),
                              flags=re.M)
            with open(os.path.join(applications, os.path.basename(entry)), "w") as f:
                f.write(text)
        if self.user:
            owner = pwd.getpwnam(self.user)
            for path in (os.path.join(self.dir, "data"), applications):
                os.chown(path, owner.pw_uid, owner.pw_gid)
        self.run(["kbuildsycoca5"], timeout=60)
        refused = None
        for attempt in range(self.STARTS):
            self._start_kwin(kwin, f"wayland-kwin-{attempt}")
            try:
                self.screenshot(area=(0, 0, 1, 1))
                return
            except DesktopError as e:
                refused = e
                self.terminate(self._kwin)
                self.bus_address = self.wayland_display = None
        raise DesktopUnavailable(f"KWin refused screenshots {self.STARTS} times ({refused})")

    def _start_kwin(self, kwin, socket):
        address_file = os.path.join(self.runtime, f"{socket}.bus")
        w, h = self.size
        script = (f'printf %s "$DBUS_SESSION_BUS_ADDRESS" > {address_file} && exec {kwin} --virtual '
                  f"--output-count {len(self.layout)} --width {w} --height {h} --socket {socket} --xwayland")
        log = self.log_path("kwin")
        self._kwin = self.spawn(["dbus-run-session", "--", "sh", "-c", script], name="kwin",
                                extra_env={"KWIN_WAYLAND_NO_PERMISSION_CHECKS": "1", "QT_QPA_PLATFORM": "wayland"})
        deadline = time.monotonic() + START_TIMEOUT
        while time.monotonic() < deadline:
            if self._kwin.poll() is not None:
                raise DesktopUnavailable(f"KWin ended at start ({self._last_line(log)})")
            if os.path.exists(os.path.join(self.runtime, socket)) and os.path.exists(address_file):
                with open(address_file) as f:
                    self.bus_address = f.read().strip()
                self.wayland_display = socket
                if self.bus_call("/Scripting", "org.kde.kwin.Scripting.isScriptLoaded", "string:none",
                                 check=False) is not None:
                    return
            time.sleep(0.2)
        raise DesktopUnavailable(f"KWin did not answer within {START_TIMEOUT:g} s ({self._last_line(log)})")

    def bus_call(self, path, method, *args, check=True):
        """A call to KWin on its session bus (dbus-send argument syntax); the reply's
        text, or None when it fails and `check` is off."""
        cmd = ["dbus-send", "--session", "--print-reply", "--dest=org.kde.KWin", path, method, *args]
        try:
            return self.run(cmd, check=True)
        except DesktopError:
            if check:
                raise
            return None

    def kwin_script(self, source):
        """Run a KWin script once (e.g. to place windows) and unload it."""
        self._shots += 1
        path = os.path.join(self.dir, f"script-{self._shots}.js")
        with open(path, "w") as f:
            f.write(source)
        os.chmod(path, 0o644)
        name = f"test-{self._shots}"
        reply = self.bus_call("/Scripting", "org.kde.kwin.Scripting.loadScript", f"string:{path}", f"string:{name}")
        script_id = int(reply.split()[-1])
        self.bus_call(f"/{script_id}", "org.kde.kwin.Script.run")
        self.bus_call("/Scripting", "org.kde.kwin.Scripting.unloadScript", f"string:{name}")

    def script_loaded(self, name):
        return self.bus_call("/Scripting", "org.kde.kwin.Scripting.isScriptLoaded",
                             f"string:{name}").split()[-1] == "true"

    def place(self, app_id, x, y, width, height):
        """Put the window whose class is `app_id` at an exact frame."""
        self.kwin_script(f"""workspace.clientList().forEach(function (c) {{
            if (c.resourceClass == "{app_id}")
                c.frameGeometry = {{x: {x}, y: {y}, width: {width}, height: {height}}};
        }});""")

    def layout_size(self):
        return (self.size[0] * len(self.layout), self.size[1])

    def outputs(self):
        raise DesktopError("KWin has no sway IPC")

    def screenshot(self, output=None, path=None, area=None):
        """`area` (x, y, width, height; default the whole layout) of the screen as an
        xdesktop.Image of RGB pixels."""
        x, y, w, h = area or (0, 0, *self.layout_size())
        self._shots += 1
        shot = os.path.join(self.dir, "shots", f"{self._shots}.ppm")
        self.run([self.screenshot_program, str(x), str(y), str(w), str(h), shot])
        image = xdesktop.Image.open(shot)
        os.unlink(shot)
        if path:
            image.save_png(path)
        return image


def _cmd_run(args):
    cmd = args.cmd[1:] if args.cmd[:1] == ["--"] else args.cmd
    if not cmd:
        print("waydesktop: run needs a command after --", file=sys.stderr)
        return 2
    try:
        if args.kwin:
            desktop = KWinDesktop(outputs=len(parse_outputs(args.outputs)), keep_files=args.keep or None)
        else:
            desktop = SwayDesktop(outputs=args.outputs, keep_files=args.keep or None)
        desktop.start()
    except DesktopUnavailable as e:
        print(f"waydesktop: skipped, {e}", file=sys.stderr)
        return SKIP_STATUS
    try:
        popen = desktop.spawn(cmd, name="command", stdin=None, stdout=sys.stdout, stderr=sys.stderr,
                              new_session=not sys.stdin.isatty())
        try:
            status = popen.wait(timeout=args.timeout)
        except subprocess.TimeoutExpired:
            print(f"waydesktop: {cmd[0]} did not finish within {args.timeout:g} s", file=sys.stderr)
            return 124
        return 128 - status if status < 0 else status
    finally:
        desktop.stop()


def main(argv=None):
    parser = argparse.ArgumentParser(prog="waydesktop.py", description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    run = sub.add_parser("run", help="run a command on a fresh headless sway and exit with its status")
    run.add_argument("--outputs", default=DEFAULT_OUTPUTS, help=f"layout (default {DEFAULT_OUTPUTS})")
    run.add_argument("--timeout", type=float, default=None, help="give up after this many seconds")
    run.add_argument("--keep", action="store_true", help="keep the desktop directory (logs) afterwards")
    run.add_argument("--kwin", action="store_true",
                     help="a headless KWin instead (outputs of 1280x720; only their number is taken from --outputs)")
    run.add_argument("cmd", nargs=argparse.REMAINDER, help="-- command and arguments")
    args = parser.parse_args(argv)
    try:
        return _cmd_run(args)
    except (DesktopError, ValueError) as e:
        print(f"waydesktop: {e}", file=sys.stderr)
        return 125
    except KeyboardInterrupt:
        return 130


if __name__ == "__main__":
    sys.exit(main())
