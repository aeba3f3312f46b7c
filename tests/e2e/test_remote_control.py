#!/usr/bin/env python3
"""Remote control on a real desktop: `Dimwell --action NAME` reaches the running
Dimwell over the desktop's session bus and does what the shortcut does; without
a running (or answering) Dimwell it says so and fails, an unknown name gets the
list of actions. The command runs without DISPLAY: it must not need the display."""
import os
import signal
import subprocess
import time

from e2e_support import (BACKGROUND, DIMWELL, Checks, DesktopError, Desktop, missing_log_lines, out_dir, run_main,
                         start_dimwell, veiled, write_prefs)

OUT_DIR = out_dir("remote_control")
FAR = (1700, 200)
DRAG = (300, 300, 700, 600)
# The command's own bound plus start-up; a hung Dimwell must not hold it longer.
COMMAND_TIMEOUT = 8.0


def action(d, name):
    """(exit status, standard error, seconds taken) of `Dimwell --action name`."""
    env = d.env()
    env.pop("DISPLAY", None)
    started = time.monotonic()
    try:
        done = subprocess.run([DIMWELL, "--action", name], env=env, capture_output=True, text=True,
                              timeout=COMMAND_TIMEOUT)
    except subprocess.TimeoutExpired:
        raise DesktopError(f"Dimwell --action {name} still ran after {COMMAND_TIMEOUT:g} s") from None
    return done.returncode, done.stderr, time.monotonic() - started


def main():
    failures = []

    def expect_done(name):
        status, err, _ = action(d, name)
        if status != 0:
            failures.append(f"--action {name} exited {status}: {err.strip()}")

    with Desktop(monitors=1) as d:
        checks = Checks(d, OUT_DIR, failures)
        write_prefs(d)

        status, err, _ = action(d, "windowMode")
        if status == 0 or "not running" not in err:
            failures.append(f"without Dimwell, --action windowMode exited {status} saying {err.strip()!r}")
        status, err, _ = action(d, "nonsense")
        if status != 2 or not all(name in err for name in ("selectMode", "clickoutToggle", "settings", "quit")):
            failures.append(f"--action nonsense exited {status} saying {err.strip()!r}")

        # Chosen explicitly, the desktop is Dimwell's option, not one of Qt's.
        program = start_dimwell(d, args=["--platform", "x11"])
        d.move_pointer(1200, 700)
        expect_done("selectMode")
        checks.wait("01-crosshair", [("screen", FAR, veiled(BACKGROUND, 0.5))])
        d.drag(*DRAG)
        checks.wait("02-hole", [("veil", FAR, veiled()), ("hole", (500, 450), BACKGROUND)])
        expect_done("increaseOpacity")
        checks.wait("03-darker", [("veil", FAR, veiled(BACKGROUND, 0.9)), ("hole", (500, 450), BACKGROUND)])
        expect_done("closeOverlay")
        checks.wait("04-closed", [("screen", FAR, BACKGROUND)])

        # A Dimwell that does not answer: the command gives up on its own.
        os.kill(program.pid, signal.SIGSTOP)
        try:
            status, err, took = action(d, "selectMode")
        finally:
            os.kill(program.pid, signal.SIGCONT)
        if status == 0 or took > 6.0:
            failures.append(f"a stopped Dimwell: exit {status} after {took:.1f} s saying {err.strip()!r}")

        expect_done("quit")
        try:
            program.wait(timeout=5.0)
        except subprocess.TimeoutExpired:
            failures.append("Dimwell still runs after --action quit")
        failures += missing_log_lines(d, ["remote action selectMode", "remote action quit"])
    return failures


if __name__ == "__main__":
    run_main(main)
