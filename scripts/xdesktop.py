#!/usr/bin/python3
"""Real X desktops for tests and demos, standard library only.

A `Desktop` is a private X server (Xorg with the dummy driver, so several RandR
monitors, or Xvfb for a single one), a window manager (openbox, or fluxbox or i3,
whose frames are override-redirect windows), the picom compositor, a private
session bus and optionally the accessibility bus. Every process it starts is
recorded by process id and stopped by that id when the desktop ends, also on
exceptions and on SIGTERM/SIGHUP/SIGINT.

    with Desktop(monitors=2) as d:
        term = d.xterm(title="notes")
        d.key("ctrl+shift+x")
        d.screenshot("shot.png")

As a program:
    xdesktop.py run [--monitors SPEC] [--xvfb] [--wm NAME | --no-wm] [--no-compositor] [--atspi] -- CMD...
        runs CMD on a fresh desktop (DISPLAY and the session bus set) and exits
        with its status.
    xdesktop.py demo [--binary PATH] [--out DIR] [--monitors SPEC]
        plays the demo scenario of demo.py and writes screenshots.

Monitor specs: a count ("2": 1920x1080 with 1280x1024 to its right, and so on)
or outputs in i3's fake-outputs style, "1920x1080+0+0,1280x1024+1920+0"; an
entry without a position goes to the right of the one before. The first entry is
the primary monitor.
"""
import argparse
import atexit
import ctypes
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import weakref
from dataclasses import dataclass

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import PIL.Image  # noqa: E402
import xscreen  # noqa: E402  (lives next to this file)
from xscreen import Image  # noqa: E402,F401  (pixel(x, y), crop, save_png)

SCRIPTS_DIR = os.path.dirname(os.path.abspath(__file__))
DEFAULT_SIZES = [(1920, 1080), (1280, 1024), (1280, 1024), (1024, 768)]
BACKGROUND = (128, 128, 128)
SERVER_TIMEOUT = 20.0
HELPER_TIMEOUT = 10.0
TERM_TIMEOUT = 3.0
KILL_TIMEOUT = 2.0
DUMMY_DRIVER = "/usr/lib/xorg/modules/drivers/dummy_drv.so"
ATSPI_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
WINDOW_MANAGERS = ("openbox", "fluxbox", "i3")


class DesktopError(RuntimeError):
    """A desktop could not be started or driven; the message is one line."""


@dataclass(frozen=True)
class Monitor:
    name: str
    x: int
    y: int
    width: int
    height: int
    primary: bool = False

    @property
    def rect(self):
        return (self.x, self.y, self.width, self.height)

    def __str__(self):
        return f"{self.name} {self.width}x{self.height}+{self.x}+{self.y}{' primary' if self.primary else ''}"


def parse_monitors(spec):
    """Monitor layout as a list of (width, height, x, y); see the module text."""
    if isinstance(spec, int) or (isinstance(spec, str) and spec.strip().isdigit()):
        count = int(spec)
        if not 1 <= count <= len(DEFAULT_SIZES):
            raise ValueError(f"monitor count must be 1 to {len(DEFAULT_SIZES)}, not {count}")
        spec = [f"{w}x{h}" for w, h in DEFAULT_SIZES[:count]]
    if isinstance(spec, str):
        spec = [part for part in spec.split(",") if part.strip()]
    layout = []
    next_x = 0
    for entry in spec:
        if isinstance(entry, (tuple, list)):
            w, h, x, y = (list(entry) + [None, None])[:4]
        else:
            m = re.fullmatch(r"\s*(\d+)x(\d+)(?:\+(-?\d+)\+(-?\d+))?\s*", entry)
            if not m:
                raise ValueError(f"bad monitor {entry!r}: want WIDTHxHEIGHT or WIDTHxHEIGHT+X+Y")
            w, h = int(m.group(1)), int(m.group(2))
            x, y = (int(m.group(3)), int(m.group(4))) if m.group(3) is not None else (None, None)
        if x is None:
            x, y = next_x, 0
        if w <= 0 or h <= 0 or x < 0 or y < 0:
            raise ValueError(f"bad monitor {entry!r}: sizes must be positive and positions not negative")
        layout.append((int(w), int(h), int(x), int(y)))
        next_x = max(next_x, x + w)
    if not layout:
        raise ValueError("no monitors given")
    return layout


def _bounding_size(rects):
    return (max(x + w for w, h, x, y in rects), max(y + h for w, h, x, y in rects))


def _parse_geometry(text):
    m = re.fullmatch(r"(\d+)x(\d+)\+(-?\d+)\+(-?\d+)", text.strip())
    if not m:
        raise ValueError(f"bad geometry {text!r}: want WIDTHxHEIGHT+X+Y")
    w, h, x, y = (int(v) for v in m.groups())
    return (w, h, x, y)


# --- process bookkeeping --------------------------------------------------------------

_libc = None


def _die_with_parent():
    """Runs in the child before exec: end it when the desktop's process dies, so a
    killed test run cannot leave servers behind."""
    if _libc is not None:
        _libc.prctl(1, signal.SIGTERM, 0, 0, 0)  # PR_SET_PDEATHSIG


def _proc_table():
    """pid -> (ppid, session id, state) of every process, read from /proc."""
    table = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat", "rb") as f:
                stat = f.read().decode("latin-1")
        except OSError:
            continue
        fields = stat[stat.rfind(")") + 2:].split()
        table[int(entry)] = (int(fields[1]), int(fields[3]), fields[0])
    return table


def _descendants(pids, table=None):
    """The given processes and everything they started: children by parent link, and
    processes that kept the session of one of them (orphans reparented to init)."""
    table = table or _proc_table()
    roots = set(pids)
    found = {p for p in roots if p in table}
    found |= {p for p, (_, sid, _) in table.items() if sid in roots}
    changed = True
    while changed:
        changed = False
        for p, (ppid, _, _) in table.items():
            if ppid in found and p not in found:
                found.add(p)
                changed = True
    return found


def _alive(pid):
    try:
        with open(f"/proc/{pid}/stat", "rb") as f:
            stat = f.read().decode("latin-1")
    except OSError:
        return False
    return stat[stat.rfind(")") + 2] not in "ZX"


def _signal_all(pids, sig):
    for pid in pids:
        try:
            os.kill(pid, sig)
        except (ProcessLookupError, PermissionError):
            pass


def _wait_gone(pids, popen, timeout):
    deadline = time.monotonic() + timeout
    while True:
        if popen is not None:
            popen.poll()  # reap our own child so it stops counting as alive
        left = [p for p in pids if _alive(p)]
        if not left or time.monotonic() >= deadline:
            return left
        time.sleep(0.02)


def stop_process(popen, term_timeout=TERM_TIMEOUT, kill_timeout=KILL_TIMEOUT):
    """Stop a started process and what it started: SIGTERM, then SIGKILL after a bound.
    Returns the ids of processes that survived both (normally none)."""
    victims = _descendants([popen.pid])
    if popen.poll() is not None:
        victims.discard(popen.pid)  # already reaped; its id may belong to someone else now
    if not victims:
        return []
    _signal_all(victims, signal.SIGTERM)
    left = _wait_gone(victims, popen, term_timeout)
    if left:
        _signal_all(left, signal.SIGKILL)
        left = _wait_gone(left, popen, kill_timeout)
    try:
        popen.wait(timeout=0.5)
    except subprocess.TimeoutExpired:
        pass
    return left


_live_desktops = weakref.WeakSet()


@atexit.register
def _stop_all_desktops():
    for desktop in list(_live_desktops):
        desktop.stop()


# --- the desktop ----------------------------------------------------------------------

class Desktop:
    """A private X desktop; use as a context manager or call start() and stop()."""

    def __init__(self, monitors=2, wm=True, compositor=True, atspi=False, xvfb=False,
                 dbus=True, background=BACKGROUND, keep_files=None):
        self.layout = parse_monitors(monitors)
        if xvfb and len(self.layout) > 1:
            raise ValueError("Xvfb offers one monitor; leave xvfb off for several")
        # True means the default window manager; False or None, none at all.
        self.wm = "openbox" if wm is True else (wm or None)
        if self.wm is not None and self.wm not in WINDOW_MANAGERS:
            raise ValueError(f"unknown window manager {wm!r}: want one of {', '.join(WINDOW_MANAGERS)}")
        self.compositor = compositor
        self.atspi = atspi
        self.dbus = dbus or atspi
        self.xvfb = xvfb
        self.background = tuple(background)
        self.keep_files = (os.environ.get("DIMWELL_KEEP_DESKTOP") == "1") if keep_files is None else keep_files
        self.display = None
        self._screen = None  # pixels are read through it
        self.dir = None
        self.bus_address = None
        self._procs = []  # (name, Popen) in start order
        self._old_handlers = {}
        self._started = False

    # --- life cycle -------------------------------------------------------------------

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def start(self):
        global _libc
        if self._started:
            return self
        if _libc is None:
            _libc = ctypes.CDLL(None, use_errno=True)
        self._install_signal_handlers()
        _live_desktops.add(self)
        self._started = True
        self.dir = tempfile.mkdtemp(prefix="dimwell-desktop-")
        for sub in ("config", "cache", "data", "state", "logs"):
            os.makedirs(os.path.join(self.dir, sub))
        os.makedirs(os.path.join(self.dir, "runtime"), mode=0o700)
        try:
            self._start_server()
            if not self.xvfb:
                self._apply_layout(self.layout)
            self.set_background(self.background)
            if self.dbus:
                self._start_dbus()
            if self.wm:
                self._start_wm()
            if self.compositor:
                self._start_picom()
            if self.atspi:
                self._start_atspi()
        except xscreen.XError as e:
            self.stop(failed=True)
            raise DesktopError(str(e)) from e
        except BaseException:
            self.stop(failed=True)
            raise
        return self

    def stop(self, failed=False):
        """Stop every process this desktop started, newest first, by process id."""
        if not self._started:
            return
        blocked = self._block_signals()
        try:
            if self._screen:
                self._screen.close()
                self._screen = None
            survivors = []
            while self._procs:
                name, popen = self._procs.pop()
                survivors += stop_process(popen)
            if survivors:
                print(f"xdesktop: processes {survivors} did not end even after SIGKILL", file=sys.stderr)
            if self.dir and os.path.isdir(self.dir):
                if failed or self.keep_files:
                    print(f"xdesktop: desktop files kept in {self.dir}", file=sys.stderr)
                else:
                    shutil.rmtree(self.dir, ignore_errors=True)
        finally:
            self._started = False
            _live_desktops.discard(self)
            self._restore_signals(blocked)
            self._restore_signal_handlers()

    def _install_signal_handlers(self):
        """Turn SIGTERM and SIGHUP into SystemExit so that `with` blocks clean up."""
        if threading.current_thread() is not threading.main_thread():
            return
        for sig in (signal.SIGTERM, signal.SIGHUP):
            if signal.getsignal(sig) == signal.SIG_DFL:
                self._old_handlers[sig] = signal.signal(sig, _raise_exit)

    def _restore_signal_handlers(self):
        for sig, handler in self._old_handlers.items():
            signal.signal(sig, handler)
        self._old_handlers = {}

    @staticmethod
    def _block_signals():
        # A second Ctrl-C during cleanup must not leave half the desktop running.
        if threading.current_thread() is not threading.main_thread():
            return {}
        saved = {}
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            saved[sig] = signal.signal(sig, signal.SIG_IGN)
        return saved

    @staticmethod
    def _restore_signals(saved):
        for sig, handler in saved.items():
            signal.signal(sig, handler)

    # --- processes --------------------------------------------------------------------

    def env(self, extra=None):
        """Environment for programs on this desktop: its DISPLAY and session bus, and
        XDG folders inside the desktop's own directory so that nothing reads or writes
        the real user's configuration."""
        env = dict(os.environ)
        for var in ("WAYLAND_DISPLAY", "XAUTHORITY", "SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS",
                    "AT_SPI_BUS_ADDRESS", "XDG_CURRENT_DESKTOP", "XDG_SESSION_TYPE", "DESKTOP_SESSION",
                    "QT_QPA_PLATFORMTHEME", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON"):
            env.pop(var, None)
        env.update({
            "XDG_CONFIG_HOME": os.path.join(self.dir, "config"),
            "XDG_CACHE_HOME": os.path.join(self.dir, "cache"),
            "XDG_DATA_HOME": os.path.join(self.dir, "data"),
            "XDG_STATE_HOME": os.path.join(self.dir, "state"),
            "XDG_RUNTIME_DIR": os.path.join(self.dir, "runtime"),
            "QT_QPA_PLATFORM": "xcb",
        })
        if self.display:
            env["DISPLAY"] = self.display
        else:
            env.pop("DISPLAY", None)
        if self.bus_address:
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        if self.atspi:
            env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        if extra:
            env.update(extra)
        return env

    def log_path(self, name):
        return os.path.join(self.dir, "logs", f"{name}.log")

    def spawn(self, cmd, name=None, env=None, stdout=None, stderr=None, stdin=subprocess.DEVNULL,
              new_session=True, **popen_args):
        """Start a program on this desktop and track it by process id.

        Output goes to logs/NAME.log in the desktop directory unless stdout/stderr are
        given. The program runs in a session of its own (so what it starts can be found
        and stopped with it) unless new_session is False.
        """
        name = name or os.path.basename(cmd[0])
        log = None
        if stdout is None or stderr is None:
            log = open(self.log_path(name), "ab")
        try:
            popen = subprocess.Popen(
                cmd, env=self.env() if env is None else env, stdin=stdin,
                stdout=log if stdout is None else stdout, stderr=log if stderr is None else stderr,
                start_new_session=new_session, preexec_fn=_die_with_parent, **popen_args)
        except OSError as e:
            raise DesktopError(f"cannot start {cmd[0]}: {e.strerror}") from e
        finally:
            if log:
                log.close()
        self._procs.append((name, popen))
        return popen

    def terminate(self, popen):
        """Stop one program started with spawn() (and what it started), by process id."""
        survivors = stop_process(popen)
        self._procs = [(n, p) for n, p in self._procs if p is not popen]
        return survivors

    def pids(self):
        """Process ids of everything this desktop runs now, helpers and clients."""
        return sorted(_descendants([p.pid for _, p in self._procs if p.poll() is None]))

    def run(self, cmd, timeout=HELPER_TIMEOUT, check=True, input=None):
        """Run a short command on this desktop and return its standard output."""
        try:
            done = subprocess.run(cmd, env=self.env(), input=input, capture_output=True,
                                  text=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise DesktopError(f"{' '.join(cmd)} did not finish within {timeout:g} s") from None
        except OSError as e:
            raise DesktopError(f"cannot run {cmd[0]}: {e.strerror}") from e
        if check and done.returncode != 0:
            reason = done.stderr.strip().splitlines()
            raise DesktopError(f"{' '.join(cmd)} failed ({done.returncode}): {reason[-1] if reason else 'no message'}")
        return done.stdout

    # --- start-up pieces --------------------------------------------------------------

    def _fail(self, what, log):
        """Raise the one-line reason a start-up step failed, with the log's last word."""
        reason = ""
        try:
            with open(log, errors="replace") as f:
                lines = [line.strip() for line in f if line.strip()]
            if any("Fatal server error" in line for line in lines):
                # Xorg logs many harmless (EE) lines; the fatal one follows this marker.
                after = lines[next(i for i, l in enumerate(lines) if "Fatal server error" in l) + 1:]
                texts = (re.sub(r"^\[\s*[\d.]+\]", "", l).replace("(EE)", "").strip() for l in after)
                reason = next((t for t in texts if t), "")
            elif lines and not log.endswith("Xorg.log"):
                reason = lines[-1]
        except OSError:
            pass
        raise DesktopError(f"{what}, see {log}" + (f" ({reason})" if reason else ""))

    def _start_server(self):
        rfd, wfd = os.pipe()
        try:
            if self.xvfb:
                binary = shutil.which("Xvfb")
                if not binary:
                    raise DesktopError("Xvfb is not installed: run scripts/install-deps.sh run")
                w, h, _, _ = self.layout[0]
                name, log = "Xvfb", self.log_path("Xvfb")
                cmd = [binary, "-displayfd", str(wfd), "-screen", "0", f"{w}x{h}x24",
                       "-nolisten", "tcp", "-noreset"]
            else:
                binary = "/usr/lib/xorg/Xorg" if os.path.exists("/usr/lib/xorg/Xorg") else shutil.which("Xorg")
                if not binary or not os.path.exists(DUMMY_DRIVER):
                    raise DesktopError("Xorg with the dummy driver is not installed: run scripts/install-deps.sh run")
                name, log = "Xorg", self.log_path("Xorg")
                conf = self._write_xorg_config()
                # The real Xorg binary, not the setuid wrapper, so that it also runs
                # without root; -sharevts keeps it from switching the machine's console.
                cmd = [binary, "-displayfd", str(wfd), "-config", conf,
                       "-configdir", os.path.join(self.dir, "xorg.conf.d"), "-logfile", log,
                       "-noreset", "-nolisten", "tcp", "-sharevts", "-novtswitch"]
            # Xorg writes its own log; what it prints goes next to it.
            server = self.spawn(cmd, name=f"{name}-output" if name == "Xorg" else name,
                                env=self.env(), pass_fds=(wfd,))
        finally:
            os.close(wfd)
        try:
            number = self._read_display_number(rfd, server, name, log)
        finally:
            os.close(rfd)
        self.display = f":{number}"
        deadline = time.monotonic() + SERVER_TIMEOUT
        while True:
            try:
                with xscreen.connect(self.display):
                    return
            except xscreen.XError:
                if server.poll() is not None:
                    self._fail(f"{name} exited with status {server.returncode}", log)
                if time.monotonic() > deadline:
                    self._fail(f"{name} did not answer within {SERVER_TIMEOUT:g} s", log)
                time.sleep(0.05)

    def _read_display_number(self, rfd, server, name, log):
        deadline = time.monotonic() + SERVER_TIMEOUT
        data = b""
        while not data.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0:
                self._fail(f"{name} did not answer within {SERVER_TIMEOUT:g} s", log)
            ready, _, _ = select.select([rfd], [], [], min(left, 0.2))
            if ready:
                chunk = os.read(rfd, 64)
                if not chunk:
                    server.wait(timeout=5)
                    self._fail(f"{name} exited with status {server.returncode} before answering", log)
                data += chunk
            elif server.poll() is not None:
                self._fail(f"{name} exited with status {server.returncode} before answering", log)
        return int(data.strip())

    def _write_xorg_config(self):
        # Enough video memory and virtual size for the requested monitors plus a few
        # more plugged later; the screen itself is sized to the monitors with xrandr.
        bw, bh = _bounding_size(self.layout)
        vw, vh = max(bw + 2560, 4096), max(bh, 2048)
        video_ram = max(256000, vw * vh * 4 // 1024 + 16384)
        confd = os.path.join(self.dir, "xorg.conf.d")
        os.makedirs(confd)
        path = os.path.join(self.dir, "xorg.conf")
        with open(path, "w") as f:
            f.write(f"""\
Section "ServerFlags"
  # No input hot-plugging: the machine's own keyboard and mouse stay out of the
  # test desktop; input comes from XTest (xdotool).
  Option "AutoAddDevices" "false"
  Option "AutoEnableDevices" "false"
  Option "DontVTSwitch" "true"
  Option "BlankTime" "0"
  Option "StandbyTime" "0"
  Option "SuspendTime" "0"
  Option "OffTime" "0"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam {video_ram}
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual {vw} {vh}
  EndSubSection
EndSection
""")
        # Xorg complains about a config directory without any file in it.
        with open(os.path.join(confd, "00-empty.conf"), "w") as f:
            f.write("# Everything is in ../xorg.conf\n")
        return path

    def _start_dbus(self):
        socket_path = os.path.join(self.dir, "runtime", "bus")
        conf = os.path.join(self.dir, "session-bus.conf")
        # No service directories: nothing gets started behind the desktop's back.
        with open(conf, "w") as f:
            f.write(f"""<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path={socket_path}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
""")
        binary = shutil.which("dbus-daemon")
        if not binary:
            raise DesktopError("dbus-daemon is not installed: run scripts/install-deps.sh run")
        proc = self.spawn([binary, "--nofork", "--nopidfile", f"--config-file={conf}"], name="dbus")

        def ready():
            if proc.poll() is not None:
                self._fail(f"dbus-daemon exited with status {proc.returncode}", self.log_path("dbus"))
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            try:
                s.connect(socket_path)
                return True
            except OSError:
                return False
            finally:
                s.close()
        self.wait_for(ready, HELPER_TIMEOUT, "the session bus")
        self.bus_address = f"unix:path={socket_path}"

    def _wm_command(self, binary):
        """The window manager's command line, with a minimal configuration of its own
        written into the desktop directory (nothing read from the user's home)."""
        if self.wm == "openbox":
            return [binary, "--sm-disable"]
        if self.wm == "fluxbox":
            # Where it looks in HOME: without this folder it would copy the system's
            # configuration over ours.
            home = os.path.join(self.dir, ".fluxbox")
            os.makedirs(home, exist_ok=True)
            for name in ("keys", "menu", "apps"):
                open(os.path.join(home, name), "w").close()
            # The root keeps our background: the style's wallpaper would come with a
            # message window when it cannot be set.
            with open(os.path.join(home, "overlay"), "w") as f:
                f.write("background: none\n")
            rc = os.path.join(home, "init")
            with open(rc, "w") as f:
                # No toolbar or slit to cover the screen; windows go where they ask.
                f.write(f"session.keyFile: {home}/keys\nsession.menuFile: {home}/menu\n"
                        f"session.appsFile: {home}/apps\nsession.styleOverlay: {home}/overlay\n"
                        "session.screen0.toolbar.visible: false\n"
                        "session.screen0.slit.autoHide: true\nsession.screen0.workspaces: 1\n"
                        "session.configVersion: 13\n")
            return [binary, "-rc", rc]
        conf = os.path.join(self.dir, "i3.conf")
        with open(conf, "w") as f:
            # Every window floating where it asks to be, no bar, no title-bar-less
            # surprises: i3 as a user of floating windows has it.
            f.write("# i3 config file (v4)\nfont pango:DejaVu Sans 8\nfor_window [all] floating enable\n"
                    "focus_follows_mouse no\nfloating_maximum_size -1 x -1\n")
        return [binary, "-c", conf]

    def _start_wm(self):
        binary = shutil.which(self.wm)
        if not binary:
            raise DesktopError(f"{self.wm} is not installed: run scripts/install-deps.sh run")
        # HOME inside the desktop: window managers write their state there.
        proc = self.spawn(self._wm_command(binary), name=self.wm, env=self.env({"HOME": self.dir}))
        wm = self.wm

        def check():
            if proc.poll() is not None:
                self._fail(f"{wm} exited with status {proc.returncode}", self.log_path(wm))

        def announced():
            check()
            with xscreen.connect(self.display) as c:
                return bool(xscreen.cardinal(c, c.screen().root, "_NET_SUPPORTING_WM_CHECK"))
        self.wait_for(announced, HELPER_TIMEOUT, wm)
        # openbox announces itself before it handles map requests, and drops the ones
        # that come in between: wait until it frames a window of our own (asking again
        # while it does not), so that the first client of a test is never left unmapped.
        with xscreen.connect(self.display) as c:
            probe = xscreen.create_window(c, 0, 0, 16, 16, "xdesktop window manager probe")
            asked = [0.0]

            def framed():
                check()
                if (probe.get_attributes().map_state == xscreen.X.IsViewable
                        and xscreen.parent(c, probe.id) != c.screen().root.id):
                    return True
                if time.monotonic() - asked[0] > 0.25:
                    probe.map()
                    c.flush()
                    asked[0] = time.monotonic()
                return False
            self.wait_for(framed, HELPER_TIMEOUT, f"{wm} managing windows", interval=0.01)
            probe.destroy()
            c.sync()

    def _start_picom(self):
        binary = shutil.which("picom")
        if not binary:
            raise DesktopError("picom is not installed: run scripts/install-deps.sh run")
        conf = os.path.join(self.dir, "picom.conf")
        # Plain blending only: shadows, fades and dimming would make pixels inexact.
        with open(conf, "w") as f:
            f.write('backend = "xrender";\nvsync = false;\nshadow = false;\nfading = false;\n'
                    "inactive-opacity = 1.0;\nactive-opacity = 1.0;\nframe-opacity = 1.0;\n"
                    "inactive-dim = 0.0;\nunredir-if-possible = false;\nuse-damage = true;\n")
        proc = self.spawn([binary, "--backend", "xrender", "--config", conf], name="picom")

        def ready():
            if proc.poll() is not None:
                self._fail(f"picom exited with status {proc.returncode}", self.log_path("picom"))
            with xscreen.connect(self.display) as c:
                return xscreen.selection_owner(c, "_NET_WM_CM_S0") != 0
        self.wait_for(ready, HELPER_TIMEOUT, "picom")
        time.sleep(0.1)  # its first full paint

    def stop_compositor(self):
        """Kill the compositor as a crash would, and wait until its selection is free."""
        for name, popen in [p for p in self._procs if p[0] == "picom"]:
            popen.kill()
            popen.wait(timeout=TERM_TIMEOUT)
            self._procs.remove((name, popen))

        def gone():
            with xscreen.connect(self.display) as c:
                return xscreen.selection_owner(c, "_NET_WM_CM_S0") == 0
        self.wait_for(gone, HELPER_TIMEOUT, "the compositor to go")

    def start_compositor(self):
        self._start_picom()

    def _start_atspi(self):
        if not os.path.exists(ATSPI_LAUNCHER):
            raise DesktopError("the accessibility bus is not installed: run scripts/install-deps.sh run")
        proc = self.spawn([ATSPI_LAUNCHER, "--launch-immediately"], name="at-spi")

        def ready():
            if proc.poll() is not None:
                self._fail(f"at-spi-bus-launcher exited with status {proc.returncode}", self.log_path("at-spi"))
            out = self.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                            "/org/a11y/bus", "org.a11y.Bus.GetAddress"], check=False, timeout=3)
            return "unix:" in out
        self.wait_for(ready, HELPER_TIMEOUT, "the accessibility bus")

    # --- waiting ----------------------------------------------------------------------

    @staticmethod
    def wait_for(predicate, timeout, what, interval=0.05):
        """Poll predicate until it returns something true; return that or raise."""
        deadline = time.monotonic() + timeout
        while True:
            result = predicate()
            if result:
                return result
            if time.monotonic() >= deadline:
                raise DesktopError(f"{what} not ready within {timeout:g} s")
            time.sleep(interval)

    # --- monitors ---------------------------------------------------------------------

    def _xrandr_state(self):
        """(screen size, outputs, mode names) from `xrandr --query`; outputs maps a name
        to (connected, geometry or None, primary, set of mode names)."""
        text = self.run(["xrandr", "--query"])
        size = None
        outputs = {}
        modes = set()
        current = None
        for line in text.splitlines():
            m = re.match(r"Screen \d+: .*current (\d+) x (\d+)", line)
            if m:
                size = (int(m.group(1)), int(m.group(2)))
                continue
            m = re.match(r"(\S+) (connected|disconnected)( primary)?(?: (\d+)x(\d+)\+(\d+)\+(\d+))?", line)
            if m:
                geometry = tuple(int(m.group(i)) for i in (4, 5, 6, 7)) if m.group(4) else None
                current = outputs[m.group(1)] = (m.group(2) == "connected", geometry, bool(m.group(3)), set())
                continue
            m = re.match(r"\s+(\S+)\s", line)
            if m:
                modes.add(m.group(1))
                if current is not None:
                    current[3].add(m.group(1))
        return size, outputs, modes

    def monitors(self):
        """Active outputs, in xrandr's order, as Monitor(name, x, y, width, height, primary).
        Mirrors show up as separate monitors with the same geometry."""
        _, outputs, _ = self._xrandr_state()
        return [Monitor(name, g[2], g[3], g[0], g[1], primary)
                for name, (_, g, primary, _) in outputs.items() if g is not None]

    def screen_size(self):
        return self._xrandr_state()[0]

    def _need_xorg(self):
        if self.xvfb:
            raise DesktopError("monitor changes need the Xorg desktop (xvfb=False)")

    def _mode_for(self, output, w, h, state):
        """Name of a mode of size w x h that output offers, creating it when needed."""
        _, outputs, modes = state
        name = f"{w}x{h}"
        if name not in modes:
            # Any timing will do for the dummy driver; keep the refresh near 60 Hz.
            clock = (w + 160) * (h + 30) * 60 / 1e6
            self.run(["xrandr", "--newmode", name, f"{clock:.2f}", str(w), str(w + 48), str(w + 80),
                      str(w + 160), str(h), str(h + 3), str(h + 8), str(h + 30), "-hsync", "+vsync"])
            modes.add(name)
        if name not in outputs[output][3]:
            self.run(["xrandr", "--addmode", output, name])
            outputs[output][3].add(name)
        return name

    def _apply_layout(self, layout):
        state = self._xrandr_state()
        outputs = state[1]
        names = [f"DUMMY{i}" for i in range(len(layout))]
        missing = [n for n in names if n not in outputs]
        if missing:
            raise DesktopError(f"the X server has no output {missing[0]}")
        w, h = _bounding_size(layout)
        cmd = ["xrandr", "--fb", f"{w}x{h}"]
        for i, (name, (mw, mh, mx, my)) in enumerate(zip(names, layout)):
            cmd += ["--output", name, "--mode", self._mode_for(name, mw, mh, state), "--pos", f"{mx}x{my}"]
            if i == 0:
                cmd.append("--primary")
        self.run(cmd)

    def _free_output(self, outputs):
        for name, (_, geometry, _, _) in sorted(outputs.items(), key=lambda o: _natural_key(o[0])):
            if geometry is None and name.startswith("DUMMY"):
                return name
        raise DesktopError("no free output left for another monitor")

    def add_monitor(self, geometry, output=None):
        """Plug a monitor, e.g. "1280x1024+3200+0"; returns its output name."""
        self._need_xorg()
        w, h, x, y = _parse_geometry(geometry) if isinstance(geometry, str) else geometry
        state = self._xrandr_state()
        output = output or self._free_output(state[1])
        mode = self._mode_for(output, w, h, state)
        self.run(["xrandr", "--output", output, "--mode", mode, "--pos", f"{x}x{y}"])
        return output

    def mirror_monitor(self, source, output=None):
        """Plug a monitor that shows the same area as source; returns its output name."""
        self._need_xorg()
        state = self._xrandr_state()
        if source not in state[1] or state[1][source][1] is None:
            raise DesktopError(f"{source} is not an active monitor")
        w, h, _, _ = state[1][source][1]
        output = output or self._free_output(state[1])
        mode = self._mode_for(output, w, h, state)
        self.run(["xrandr", "--output", output, "--mode", mode, "--same-as", source])
        return output

    def move_monitor(self, output, x, y):
        self._need_xorg()
        self.run(["xrandr", "--output", output, "--pos", f"{x}x{y}"])
        self._fit_screen()

    def set_primary(self, output):
        self._need_xorg()
        self.run(["xrandr", "--output", output, "--primary"])

    def remove_monitor(self, output):
        """Unplug a monitor; the screen shrinks to the monitors left, as desktops do."""
        self._need_xorg()
        self.run(["xrandr", "--output", output, "--off"])
        self._fit_screen()

    def _fit_screen(self):
        rects = [(m.width, m.height, m.x, m.y) for m in self.monitors()]
        if rects:
            w, h = _bounding_size(rects)
            if (w, h) != self.screen_size():
                self.run(["xrandr", "--fb", f"{w}x{h}"])

    # --- pixels -----------------------------------------------------------------------

    def set_background(self, rgb):
        """Paint the root window one colour, in a way compositors honour."""
        xscreen.set_root_background(self.display, tuple(rgb))
        self.background = tuple(rgb)

    def capture(self, x=0, y=0, width=None, height=None):
        """Screen pixels as an Image (pixel(x, y) -> (r, g, b), save_png, crop)."""
        if width is None or height is None:
            sw, sh = self.screen_size()
            width = sw - x if width is None else width
            height = sh - y if height is None else height
        if self._screen is None:
            self._screen = xscreen.Screen(self.display)
        return self._screen.capture(x, y, width, height)

    def pixel(self, x, y):
        return self.capture(x, y, 1, 1).pixel(0, 0)

    def region(self, x, y, width, height):
        return self.capture(x, y, width, height)

    def screenshot(self, path, image=None):
        """Save the screen (or an image captured before) as PNG, or PPM when path ends
        in .ppm; returns path. Parts of the screen that no monitor shows are black, as
        a user would see them."""
        image = (image or self.capture()).only([m.rect for m in self.monitors()])
        return image.save(path)

    def wait_for_pixel(self, x, y, rgb, tolerance=1, timeout=5.0):
        """Wait until the pixel at (x, y) is rgb within tolerance per channel."""
        last = [None]

        def matches():
            last[0] = self.pixel(x, y)
            return all(abs(a - b) <= tolerance for a, b in zip(last[0], rgb))
        try:
            self.wait_for(matches, timeout, f"pixel ({x},{y}) = {tuple(rgb)}")
        except DesktopError:
            raise DesktopError(f"pixel ({x},{y}) is {last[0]}, not {tuple(rgb)}, after {timeout:g} s") from None
        return last[0]

    # --- windows and input ------------------------------------------------------------

    def xdotool(self, *args, timeout=HELPER_TIMEOUT):
        """Run xdotool with these arguments on this desktop; returns its output."""
        return self.run(["xdotool", *[str(a) for a in args]], timeout=timeout).strip()

    def key(self, *keys, delay_ms=30):
        """Press and release key combinations through XTest, e.g. key("ctrl+shift+x")."""
        self.xdotool("key", "--delay", delay_ms, *keys)

    def move_pointer(self, x, y):
        self.xdotool("mousemove", x, y)

    def click(self, x=None, y=None, button=1):
        if x is not None:
            self.move_pointer(x, y)
        self.xdotool("click", button)

    def drag(self, x0, y0, x1, y1, steps=10, button=1, step_delay=0.02):
        """Press at (x0, y0), move in steps to (x1, y1), release there."""
        args = ["mousemove", x0, y0, "sleep", step_delay, "mousedown", button]
        for i in range(1, steps + 1):
            args += ["mousemove", x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps, "sleep", step_delay]
        args += ["mouseup", button]
        self.xdotool(*args, timeout=HELPER_TIMEOUT + steps * step_delay)

    def pointer(self):
        out = self.xdotool("getmouselocation", "--shell")
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return int(values["X"]), int(values["Y"])

    def find_windows(self, name, visible=True):
        """Ids of windows whose title is exactly name."""
        args = ["search"] + (["--onlyvisible"] if visible else []) + ["--name", f"^{re.escape(name)}$"]
        out = self.run(["xdotool", *args], check=False)
        return [int(w) for w in out.split()]

    def wait_for_window(self, name, timeout=HELPER_TIMEOUT, visible=True):
        """Id of the window titled exactly name, once it is there (mapped, by default)."""
        found = self.wait_for(lambda: self.find_windows(name, visible), timeout, f"window {name!r}", interval=0.1)
        return found[0]

    def window_rect(self, window):
        """(x, y, width, height) of a window's inside, in root coordinates."""
        out = self.run(["xwininfo", "-id", str(window)])
        values = dict(re.findall(r"^\s*(Absolute upper-left [XY]|Width|Height):\s*(-?\d+)", out, re.M))
        return tuple(int(values[k]) for k in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))

    def frame_rect(self, window):
        """(x, y, width, height) of a window as the user sees it, the window manager's frame
        included: its _NET_FRAME_EXTENTS, else (i3 sets none) the root's child holding it."""
        x, y, w, h = self.window_rect(window)
        out = self.run(["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"], check=False)
        try:
            left, right, top, bottom = (int(v) for v in out.split("=", 1)[1].split(","))
        except (IndexError, ValueError):
            frame = self.top_level(window)
            return self.window_rect(frame) if frame != window else (x, y, w, h)
        return x - left, y - top, w + left + right, h + top + bottom

    def top_level(self, window):
        """The root's child that holds window: its frame, or itself when unmanaged."""
        with xscreen.connect(self.display) as c:
            while (parent := xscreen.parent(c, window)) not in (c.screen().root.id, 0):
                window = parent
        return window

    def docked_icon(self, wm_class):
        """(x, y, width, height) of an icon-sized window of `wm_class` in a panel along
        the bottom of the screen (a tray icon), or None."""
        height = self.screen_size()[1]
        for window in self.run(["xdotool", "search", "--class", wm_class], check=False).split():
            try:
                x, y, w, h = self.window_rect(int(window))
            except DesktopError:
                continue
            if w <= 64 and h <= 64 and y > height - 100:
                return x, y, w, h
        return None

    def activate(self, window):
        """Raise and focus a window through the window manager."""
        self.xdotool("windowactivate", "--sync", window)

    def start_client(self, cmd, title, name=None, timeout=HELPER_TIMEOUT):
        """Start an X client and return the id of its window titled title."""
        popen = self.spawn(cmd, name=name)
        try:
            return self.wait_for_window(title, timeout)
        except DesktopError:
            if popen.poll() is not None:
                raise DesktopError(f"{cmd[0]} exited with status {popen.returncode}, "
                                   f"see {self.log_path(name or os.path.basename(cmd[0]))}") from None
            raise

    def xterm(self, title="xterm", geometry="80x24+100+100", command=None):
        cmd = ["xterm", "-T", title, "-geometry", geometry]
        if command:
            cmd += ["-e", *command]
        return self.start_client(cmd, title, name=f"xterm-{title}")

    def xlogo(self, title="xlogo", geometry="300x300+200+200"):
        return self.start_client(["xlogo", "-title", title, "-geometry", geometry], title, name=f"xlogo-{title}")

    def picture(self, path=None, title="picture", position=(300, 300)):
        """Show an image with ImageMagick's display; a generated one when path is None."""
        if path is None:
            path = make_picture(os.path.join(self.dir, f"{title}.png"))
        x, y = position
        return self.start_client(["display", "-title", title, "-geometry", f"+{x}+{y}", path], title,
                                 name=f"display-{title}")

    def translucent_window(self, x, y, width, height, rgba=(0, 0, 0, 204), title=None):
        """A frameless, click-through ARGB window of one colour; rgba is straight alpha.

        Returns (window id, process); terminate(process) removes it.
        """
        cmd = [sys.executable, os.path.join(SCRIPTS_DIR, "xscreen.py"), "window",
               "--geometry", f"{width}x{height}+{x}+{y}", "--rgba", ",".join(str(v) for v in rgba)]
        if title:
            cmd += ["--title", title]
        popen = self.spawn(cmd, name="probe", stdout=subprocess.PIPE)
        ready, _, _ = select.select([popen.stdout], [], [], HELPER_TIMEOUT)
        line = popen.stdout.readline().strip() if ready else b""
        popen.stdout.close()
        if not line.isdigit():
            self.terminate(popen)
            raise DesktopError(f"the probe window did not appear, see {self.log_path('probe')}")
        return int(line), popen


def _raise_exit(signum, _frame):
    raise SystemExit(128 + signum)


def _natural_key(name):
    return [int(t) if t.isdigit() else t for t in re.split(r"(\d+)", name)]


def make_picture(path, width=480, height=320):
    """A PNG of nested framed panels on a light page, like a window with a sidebar,
    a toolbar and a content area (something for border detection to find)."""
    page, frame, panel, accent = (236, 236, 236), (90, 90, 90), (255, 255, 255), (70, 110, 170)
    picture = PIL.Image.new("RGB", (width, height), page)

    def fill(x0, y0, x1, y1, colour):  # x1, y1 excluded
        picture.paste(colour, (x0, y0, x1, y1))

    def framed(x0, y0, x1, y1, inside):
        fill(x0, y0, x1, y1, frame)
        fill(x0 + 2, y0 + 2, x1 - 2, y1 - 2, inside)

    fill(0, 0, width, 36, accent)  # toolbar
    framed(12, 48, width // 3, height - 12, panel)  # sidebar
    framed(width // 3 + 12, 48, width - 12, height // 2, panel)  # upper content
    framed(width // 3 + 12, height // 2 + 12, width - 12, height - 12, panel)  # lower content
    for i in range(5):  # list lines in the sidebar
        fill(24, 64 + i * 28, width // 3 - 16, 72 + i * 28, (200, 200, 200))
    picture.save(path, "PNG")
    return path


# --- command line ---------------------------------------------------------------------

def _desktop_args(parser, default_monitors="2"):
    parser.add_argument("--monitors", default=None,
                        help=f"count or layout like 1920x1080+0+0,1280x1024+1920+0 (default {default_monitors})")
    parser.add_argument("--xvfb", action="store_true", help="use Xvfb (one monitor) instead of Xorg")
    parser.add_argument("--wm", choices=WINDOW_MANAGERS, default="openbox", help="window manager (default openbox)")
    parser.add_argument("--no-wm", action="store_true", help="no window manager")
    parser.add_argument("--no-compositor", action="store_true", help="no compositor")
    parser.add_argument("--atspi", action="store_true", help="also start the accessibility bus")
    parser.add_argument("--keep", action="store_true", help="keep the desktop directory (logs) afterwards")


def _desktop_from(args):
    monitors = args.monitors or ("1" if args.xvfb else "2")
    return Desktop(monitors=monitors, wm=None if args.no_wm else args.wm, compositor=not args.no_compositor,
                   atspi=args.atspi, xvfb=args.xvfb, keep_files=args.keep or None)


def _cmd_run(args):
    cmd = args.cmd[1:] if args.cmd[:1] == ["--"] else args.cmd
    if not cmd:
        print("xdesktop: run needs a command after --", file=sys.stderr)
        return 2
    with _desktop_from(args) as desktop:
        # Run from a terminal, the command stays in our session and process group so
        # that it keeps the terminal and gets Ctrl-C like any foreground program.
        # Otherwise (CTest, CI) it gets a session of its own, so that whatever it
        # leaves running in the background is found and stopped with it.
        popen = desktop.spawn(cmd, name="command", stdin=None, stdout=sys.stdout, stderr=sys.stderr,
                              new_session=not sys.stdin.isatty())
        try:
            status = popen.wait(timeout=args.timeout)
        except subprocess.TimeoutExpired:
            print(f"xdesktop: {cmd[0]} did not finish within {args.timeout:g} s", file=sys.stderr)
            return 124
        return 128 - status if status < 0 else status


def _cmd_demo(args):
    import demo
    problem = demo.missing_program(args.binary)
    if problem:
        print(f"xdesktop: {problem}", file=sys.stderr)
        return 1
    with _desktop_from(args) as desktop:
        return demo.play(desktop, binary=args.binary, out=args.out)


def main(argv=None):
    parser = argparse.ArgumentParser(prog="xdesktop.py", description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    run = sub.add_parser("run", help="run a command on a fresh desktop and exit with its status")
    _desktop_args(run)
    run.add_argument("--timeout", type=float, default=None, help="give up after this many seconds")
    run.add_argument("cmd", nargs=argparse.REMAINDER, help="-- command and arguments")
    show = sub.add_parser("demo", help="play the demo scenario and write screenshots")
    _desktop_args(show)
    show.add_argument("--binary", default=os.path.join(os.path.dirname(SCRIPTS_DIR), "build", "bin", "Dimwell"))
    show.add_argument("--out", default=os.path.join(os.path.dirname(SCRIPTS_DIR), "build", "demo"))
    args = parser.parse_args(argv)
    try:
        return _cmd_run(args) if args.command == "run" else _cmd_demo(args)
    except (DesktopError, ValueError) as e:
        print(f"xdesktop: {e}", file=sys.stderr)
        return 125
    except KeyboardInterrupt:
        return 130


if __name__ == "__main__":
    sys.exit(main())
