#!/usr/bin/python3
"""What an idle Dimwell costs, against a Qt tray program that does nothing.

On a fresh test desktop (scripts/xdesktop.py: Xorg with two dummy monitors,
openbox, picom) with tint2 as tray host, starts Dimwell and the floor program
(idle_floor: a Qt Widgets QSystemTrayIcon showing Dimwell's icon, with a
QMenu, nothing else), shows
and closes Dimwell's veil once so that whatever it keeps after first use
exists, lets both settle, then over the same idle stretch reads for each
program:

- wakeups per second of every thread (voluntary and involuntary context
  switches from /proc/PID/task/TID/status). Target: Dimwell wakes no more than
  the floor, give or take one wakeup over the stretch (a stray event from the
  X server or the tray host reaches one program and not the other).
- resident memory (VmRSS) and proportional set size (Pss, smaps_rollup).
  Target: Dimwell's RSS at most 1.1x the floor's.
- the pixmaps the X server holds for it (X-Resource), for the record: memory
  that the veil's quick first frame costs outside the process.

    bench/latency/idle.py [--build DIR] [--seconds S] [--smaps N] [--wrap CMD]

--smaps N lists the N mappings where Dimwell holds the most resident memory
beyond the floor. --wrap runs Dimwell under a tracer, e.g. --wrap "strace -f -tt -o FILE".
"""
import argparse
import collections
import glob
import os
import plistlib
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from latency import OPACITY, SOURCE, Screen, clear, dimmed  # noqa: E402
from xdesktop import Desktop  # noqa: E402
import Xlib.display  # noqa: E402
from Xlib.ext import res  # noqa: E402

RSS_TARGET = 1.1
SETTLE = 3.0   # s: start-up work (fonts, tray embedding, D-Bus names) is done by then
TINT2RC = """# The tray alone: no clock or task bar to send events.
panel_items = S
panel_position = bottom center horizontal
panel_size = 100% 30
systray_icon_size = 22
"""


def status_fields(path, names):
    values = {}
    try:
        with open(path) as f:
            for line in f:
                key, _, value = line.partition(":")
                if key in names:
                    values[key] = int(value.split()[0])
    except OSError:
        pass
    return values


def switches(pid):
    """{(tid, name): context switches so far} for every thread of pid."""
    counts = {}
    for task in glob.glob(f"/proc/{pid}/task/*"):
        try:
            with open(os.path.join(task, "comm")) as f:
                name = f.read().strip()
        except OSError:
            continue
        fields = status_fields(os.path.join(task, "status"),
                               ("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches"))
        counts[(int(os.path.basename(task)), name)] = sum(fields.values())
    return counts


def memory(pid):
    """(RSS, Pss) in KiB."""
    rss = status_fields(f"/proc/{pid}/status", ("VmRSS",)).get("VmRSS", 0)
    pss = status_fields(f"/proc/{pid}/smaps_rollup", ("Pss",)).get("Pss", 0)
    return rss, pss


def resident_by_mapping(pid):
    """{mapping name: resident KiB}; anonymous mappings count as one."""
    totals = collections.Counter()
    name = None
    with open(f"/proc/{pid}/smaps") as f:
        for line in f:
            parts = line.split()
            if "-" in parts[0] and not parts[0].endswith(":"):
                name = parts[5] if len(parts) > 5 else "[anonymous]"
            elif parts[0] == "Rss:":
                totals[name] += int(parts[1])
    return totals


def server_pixmaps(display, pid):
    """KiB of pixmaps the X server holds for pid's connections (X-Resource)."""
    total = 0
    for client in display.res_query_client_ids([{"client": 0, "mask": res.LocalClientPIDMask}]).ids:
        if client.spec.mask == res.LocalClientPIDMask and list(client.value) == [pid]:
            reply = display.res_query_client_pixmap_bytes(client.spec.client)
            total += reply.bytes | reply.bytes_overflow << 32
    return total // 1024


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"), help="build folder (default: build)")
    parser.add_argument("--seconds", type=float, default=5.0, help="length of the idle stretch")
    parser.add_argument("--smaps", type=int, default=0, help="list the N mappings Dimwell holds most beyond the floor")
    parser.add_argument("--wrap", default="", help="command line to run Dimwell under (a tracer)")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    with open("/proc/loadavg") as f:
        print(f"load average at start: {' '.join(f.read().split()[:3])}")
    with Desktop(monitors=2) as d:
        folder = os.path.join(d.env()["XDG_CONFIG_HOME"], "Dimwell")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "com.Orvalen.Dimwell.plist"), "wb") as f:
            # A returning user: no tutorial at start.
            plistlib.dump({"opacity": OPACITY, "clickout": False}, f)
        rc = os.path.join(d.dir, "tint2rc")
        with open(rc, "w") as f:
            f.write(TINT2RC)
        d.spawn(["tint2", "-c", rc], name="tint2")
        floor = d.spawn([os.path.join(build, "bench", "idle_floor"), os.path.join(SOURCE, "resources", "statusicon.png")],
                        name="floor", stdout=subprocess.PIPE)
        if floor.stdout.readline().strip() != b"ready":
            raise RuntimeError(f"idle_floor did not start, see {d.log_path('floor')}")
        app = d.spawn(args.wrap.split() + [os.path.join(build, "bin", "Dimwell")], name="Dimwell",
                      env=d.env({"DIMWELL_LOG_STDERR": "1"}))
        log = d.log_path("Dimwell")
        d.wait_for(lambda: "Dimwell started" in open(log, errors="replace").read(), 10.0, "Dimwell to start")
        d.wait_for(lambda: "status icon in the system tray" in open(log, errors="replace").read(), 10.0,
                   "Dimwell's icon in the tray")
        # Under --wrap the tracer is the child; Dimwell is the process that runs the binary.
        pid = app.pid
        if args.wrap:
            pid = int(d.run(["pgrep", "-n", "-x", "Dimwell"]).split()[0])
        screen = Screen(d.display)
        time.sleep(SETTLE)
        start = screen.chord("z")
        if screen.wait(100, 900, dimmed, start) is None:
            raise RuntimeError("the veil did not show")
        screen.chord("a")
        if screen.wait(100, 900, clear, time.monotonic()) is None:
            raise RuntimeError("the veil did not go away")
        screen.d.close()
        time.sleep(SETTLE)

        programs = {"Dimwell": pid, "floor": floor.pid}
        before = {name: switches(p) for name, p in programs.items()}
        time.sleep(args.seconds)
        after = {name: switches(p) for name, p in programs.items()}
        rates = {}
        x = Xlib.display.Display(d.display)
        print(f"Idle for {args.seconds:.0f} s after one veil shown and closed (tint2 as tray host)")
        for name, p in programs.items():
            per_thread = {key: after[name][key] - before[name].get(key, 0) for key in after[name]}
            rates[name] = sum(per_thread.values()) / args.seconds
            rss, pss = memory(p)
            print(f"  {name:8} wakeups {rates[name]:5.2f}/s   RSS {rss / 1024:6.1f} MiB   Pss {pss / 1024:6.1f} MiB"
                  f"   threads {len(per_thread)}   X server pixmaps {server_pixmaps(x, p) / 1024:5.1f} MiB")
            for (tid, thread), n in sorted(per_thread.items(), key=lambda item: -item[1]):
                if n:
                    print(f"    thread {tid} {thread}: {n / args.seconds:.2f}/s")
        allowance = 1.0 / args.seconds
        verdict = "meets" if rates["Dimwell"] <= rates["floor"] + allowance else "misses"
        print(f"  wakeups: target at most the floor's + {allowance:.2f}/s (one stray event): {verdict}")
        ratio = memory(pid)[0] / memory(floor.pid)[0]
        verdict = "meets" if ratio <= RSS_TARGET else "misses"
        print(f"  RSS: {ratio:.2f}x the floor; target <= {RSS_TARGET}x: {verdict}")
        if args.smaps:
            mine, theirs = resident_by_mapping(pid), resident_by_mapping(floor.pid)
            extra = sorted(((mine[k] - theirs.get(k, 0), k) for k in mine), reverse=True)[:args.smaps]
            print("  Dimwell's resident memory beyond the floor's, by mapping")
            for kib, name in extra:
                print(f"    {kib:8d} KiB  {name}")
    with open("/proc/loadavg") as f:
        print(f"load average at end: {' '.join(f.read().split()[:3])}")


if __name__ == "__main__":
    main()
