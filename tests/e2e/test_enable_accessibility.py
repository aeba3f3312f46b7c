#!/usr/bin/env python3
"""EnableAccessibility on a private session bus: the AT-SPI bus reports
accessibility on afterwards, the tool exits 0 and says what it did; without its
one argument it refuses. The toolkit setting goes to an in-memory settings
store, so the real user's settings are never touched."""
import os
import subprocess
import tempfile
import unittest

from e2e_support import BUILD_DIR

TOOL = os.path.join(BUILD_DIR, "bin", "EnableAccessibility")

READ_BACK = ["gdbus", "call", "--session", "--dest", "org.a11y.Bus", "--object-path", "/org/a11y/bus",
             "--method", "org.freedesktop.DBus.Properties.Get", "org.a11y.Status", "IsEnabled"]


def on_private_bus(script_args, home):
    env = {k: v for k, v in os.environ.items() if k not in ("DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS")}
    env.update({"GSETTINGS_BACKEND": "memory", "HOME": home, "XDG_CONFIG_HOME": os.path.join(home, "config"),
                "XDG_RUNTIME_DIR": home})
    return subprocess.run(["dbus-run-session", "--", "sh", "-c", 'x=0; "$0" "$@" || x=$?; echo "status=$x"; '
                           + " ".join(f"'{a}'" for a in READ_BACK), TOOL, *script_args],
                          env=env, capture_output=True, text=True, timeout=60)


class EnableAccessibility(unittest.TestCase):
    def test_switches_the_atspi_bus_on(self):
        with tempfile.TemporaryDirectory() as home:
            done = on_private_bus(["/opt/My Programs/Dimwell"], home)
        self.assertIn("status=0", done.stdout, done.stderr)
        self.assertIn("(<true>,)", done.stdout, done.stderr)
        self.assertIn("switching on accessibility for /opt/My Programs/Dimwell", done.stderr)
        self.assertIn("AT-SPI bus IsEnabled=true through gdbus: done", done.stderr)

    def test_refuses_without_its_one_argument(self):
        for args in ([], ["/a", "/b"]):
            with self.subTest(args=args):
                done = subprocess.run([TOOL, *args], capture_output=True, text=True, timeout=10)
                self.assertEqual(done.returncode, 2)
                self.assertIn("usage", done.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
