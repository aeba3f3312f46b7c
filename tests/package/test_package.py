#!/usr/bin/env python3
"""The Debian package as a user gets it: built by CPack, clean under lintian,
desktop-file-validate and appstreamcli, installable with its dependencies, and
an unpacked copy that starts and reads its own resources, not the build tree's."""
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE_DIR = os.environ["DIMWELL_SOURCE_DIR"]
BUILD_DIR = os.environ["DIMWELL_BUILD_DIR"]
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "e2e"))
from e2e_support import Desktop, log_lines, wait_for_line, write_prefs  # noqa: E402

EXPECTED = [
    "usr/bin/Dimwell", "usr/bin/DimwellHelp", "usr/bin/dimwell-pattern",
    "usr/libexec/dimwell/EnableAccessibility",
    "usr/share/dimwell/hotkeys.plist", "usr/share/dimwell/hotkeySettings.plist",
    "usr/share/applications/dimwell.desktop",
    "usr/share/metainfo/com.orvalen.Dimwell.metainfo.xml",
    "usr/share/icons/hicolor/scalable/apps/dimwell.svg",
    "usr/share/icons/hicolor/16x16/apps/dimwell.png", "usr/share/icons/hicolor/256x256/apps/dimwell.png",
    "usr/share/man/man1/Dimwell.1.gz", "usr/share/man/man1/dimwell-pattern.1.gz",
    "usr/share/doc/dimwell/copyright", "usr/share/doc/dimwell/changelog.gz",
]


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, timeout=240, **kw)


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="dimwell-package-")
        built = run(["cpack", "-G", "DEB", "-B", cls.tmp], cwd=BUILD_DIR)
        if built.returncode != 0:
            raise AssertionError(f"cpack failed:\n{built.stdout}\n{built.stderr}")
        cls.deb = glob.glob(os.path.join(cls.tmp, "dimwell_*.deb"))[0]
        cls.root = os.path.join(cls.tmp, "root")
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True, timeout=60)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def test_validators_are_clean(self):
        for cmd in (["lintian", "--fail-on", "error,warning", self.deb],
                    ["desktop-file-validate", f"{self.root}/usr/share/applications/dimwell.desktop"],
                    ["appstreamcli", "validate", "--no-net",
                     f"{self.root}/usr/share/metainfo/com.orvalen.Dimwell.metainfo.xml"]):
            with self.subTest(cmd[0]):
                done = run(cmd)
                self.assertEqual(done.returncode, 0, f"{done.stdout}\n{done.stderr}")

    def test_files_and_dependencies(self):
        missing = [f for f in EXPECTED if not os.path.exists(os.path.join(self.root, f))]
        self.assertEqual(missing, [])
        # KWin trusts the program with screenshots only when the entry's Exec is its full path.
        with open(os.path.join(self.root, "usr/share/applications/dimwell.desktop")) as f:
            entry = f.read().splitlines()
        self.assertIn("Exec=/usr/bin/Dimwell", entry)
        self.assertIn("X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2", entry)
        # Every dependency resolves on this release: apt plans the install without doing it.
        plan = run(["apt-get", "install", "--simulate", "--no-install-recommends", self.deb])
        self.assertEqual(plan.returncode, 0, plan.stdout + plan.stderr)
        page = run(["man", "--warnings", "-l", f"{self.root}/usr/share/man/man1/Dimwell.1.gz"],
                   env=dict(os.environ, MANWIDTH="80", MAN_KEEP_FORMATTING="0"))
        self.assertEqual((page.returncode, page.stderr), (0, ""))

    def test_unpacked_programs_run_from_their_place(self):
        for program in ("Dimwell", "dimwell-pattern"):
            done = run([f"{self.root}/usr/bin/{program}", "--version"])
            self.assertEqual((done.returncode, done.stdout.split()[:1]), (0, [program]), done.stderr)
        with Desktop(monitors=1, xvfb=True, wm=False, compositor=False) as d:
            write_prefs(d)
            d.spawn([f"{self.root}/usr/bin/Dimwell"], name="Dimwell", env=d.env({"DIMWELL_LOG_STDERR": "1"}))
            wait_for_line(d, "Dimwell started")
            used = [line for line in log_lines(d) if line.startswith("resources in ")]
            self.assertEqual([os.path.realpath(line.removeprefix("resources in ")) for line in used],
                             [os.path.realpath(f"{self.root}/usr/share/dimwell")])


if __name__ == "__main__":
    unittest.main()
