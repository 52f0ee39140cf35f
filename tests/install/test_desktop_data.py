#!/usr/bin/env python3
"""Checks the desktop entry, the AppStream metadata and an installed tree.

Run by CTest: test_desktop_data.py --source DIR --build DIR --cmake CMAKE
--version X.Y.Z.W [--icon-sizes 16,24,...]. The validators are the ones desktops and
software centres use, so a file they reject here would be rejected (or silently ignored) on
a user's machine. Without them their checks are skipped, and the run ends with SKIPPED (77)
when the rest passed, so CTest reports it skipped rather than passed.
"""

import argparse
import configparser
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

APP_ID = "io.github.lumovox.LumoVox"
ARGS = None

# appstreamcli's only remark: AppStream prefers lower-case ids, but desktop ids with
# capitals are common and renaming would rename every installed file.
ALLOWED_APPSTREAM_NOTES = {"cid-contains-uppercase-letter"}


SKIP_STATUS = 77


def need(tool):
    if shutil.which(tool) is None:
        raise unittest.SkipTest(tool + " is not installed (scripts/install-deps.sh)")


def run(command):
    return subprocess.run(command, capture_output=True, text=True, check=False)


def read_desktop(path):
    parser = configparser.ConfigParser(interpolation=None, strict=True)
    parser.optionxform = str  # keys are case-sensitive, "Name[ja]" included
    with open(path, encoding="utf-8") as f:
        parser.read_file(f)
    return parser["Desktop Entry"]


def png_size(path):
    """(width, height) of a PNG file, None when it is missing or no PNG."""
    if not os.path.isfile(path):
        return None
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


class SourceFiles(unittest.TestCase):
    def setUp(self):
        self.data = os.path.join(ARGS.source, "data")
        self.desktop = os.path.join(self.data, APP_ID + ".desktop")
        self.metainfo = os.path.join(self.data, APP_ID + ".metainfo.xml")

    def test_validators_accept_both_files(self):
        need("desktop-file-validate")
        need("appstreamcli")
        result = run(["desktop-file-validate", self.desktop])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(result.stdout + result.stderr, "", "desktop-file-validate has remarks")

        result = run(["appstreamcli", "validate", "--no-net", "--pedantic", "--format", "yaml",
                      self.metainfo])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        tags = {line.split(":", 1)[1].strip() for line in result.stdout.splitlines()
                if line.strip().startswith("tag:")}
        self.assertLessEqual(tags, ALLOWED_APPSTREAM_NOTES, result.stdout)

    def test_entry_and_metadata_name_one_application(self):
        entry = read_desktop(self.desktop)
        self.assertEqual(entry["Icon"], APP_ID)
        self.assertEqual(entry["Exec"].split()[0], "lumovox")
        self.assertIn("%F", entry["Exec"].split())
        for key in ("GenericName", "Comment", "GenericName[ja]", "Comment[ja]"):
            self.assertTrue(entry.get(key), key)

        root = ET.parse(self.metainfo).getroot()
        self.assertEqual(root.findtext("id"), APP_ID)
        self.assertEqual(root.find("launchable[@type='desktop-id']").text, APP_ID + ".desktop")
        self.assertEqual(root.findtext("name"), entry["Name"])
        self.assertIsNotNone(root.find("content_rating"))
        # The newest release is the program's version without its build number.
        releases = root.findall("releases/release")
        self.assertTrue(releases)
        self.assertEqual(releases[0].get("version"), ".".join(ARGS.version.split(".")[:3]))


class InstalledTree(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.prefix = cls.tmp.name
        cls.install = run([ARGS.cmake, "--install", ARGS.build, "--prefix", cls.prefix])

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def path(self, *parts):
        return os.path.join(self.prefix, *parts)

    def test_every_file_lands_in_its_folder_and_nothing_else(self):
        self.assertEqual(self.install.returncode, 0, self.install.stderr)
        expected = {
            "bin/lumovox", "bin/lumovox-check",
            f"share/applications/{APP_ID}.desktop",
            f"share/metainfo/{APP_ID}.metainfo.xml",
            f"share/icons/hicolor/scalable/apps/{APP_ID}.svg",
            "share/lumovox/lumovox.svg",
            "share/man/man1/lumovox.1.gz", "share/man/man1/lumovox-check.1.gz",
            "share/doc/lumovox/README.md", "share/doc/lumovox/LICENSE",
            "share/doc/lumovox/guide.html", "share/doc/lumovox/images/main-light.png",
            "share/doc/lumovox/images/main-dark.png",
        }
        expected |= {f"share/icons/hicolor/{n}x{n}/apps/{APP_ID}.png" for n in ARGS.icon_sizes}
        styles = os.path.join(ARGS.source, "style")
        for folder, _, files in os.walk(styles):
            for name in files:
                relative = os.path.relpath(os.path.join(folder, name), styles)
                expected.add("share/lumovox/style/" + relative)
        installed = set()
        for folder, _, files in os.walk(self.prefix):
            for name in files:
                installed.add(os.path.relpath(os.path.join(folder, name), self.prefix))
        # Helper programs, libraries or headers leaking into the package are as wrong as a
        # missing file.
        self.assertEqual(sorted(installed - expected), [], "installed but not expected")
        self.assertEqual(sorted(expected - installed), [], "expected but not installed")
        for name in ("lumovox", "lumovox-check"):
            self.assertTrue(os.access(self.path("bin", name), os.X_OK), name)
        for size in ARGS.icon_sizes:
            png = self.path("share", "icons", "hicolor", f"{size}x{size}", "apps", APP_ID + ".png")
            self.assertEqual(png_size(png), (size, size), png)
        with open(self.path("share", "lumovox", "lumovox.svg"), "rb") as f:
            self.assertTrue(f.read(200).lstrip().startswith(b"<svg"))

    def test_installed_programs_find_their_styles_under_the_prefix(self):
        # The build was configured for another prefix; the programs must look under the
        # one they run from, not beside themselves (there is no style folder in bin/).
        self.assertEqual(self.install.returncode, 0, self.install.stderr)
        for style in ("light", "dark"):
            result = run([self.path("bin", "lumovox-check"), "--style", style])
            self.assertEqual(result.returncode, 0, style + "\n" + result.stdout + result.stderr)
            report = json.loads(result.stdout)
            folder = os.path.realpath(report["folder"])
            self.assertEqual(folder,
                             os.path.realpath(self.path("share", "lumovox", "style", style)))
        result = run([self.path("bin", "lumovox-check"), "--style", "no-such-style"])
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)

    def test_installed_desktop_data_validates(self):
        self.assertEqual(self.install.returncode, 0, self.install.stderr)
        need("desktop-file-validate")
        need("appstreamcli")
        entry = self.path("share", "applications", APP_ID + ".desktop")
        result = run(["desktop-file-validate", entry])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        # The icon the entry names is found in the hicolor theme of the same prefix.
        icon = read_desktop(entry)["Icon"]
        self.assertTrue(os.path.isfile(self.path("share", "icons", "hicolor", "scalable", "apps",
                                                 icon + ".svg")))
        metainfo = self.path("share", "metainfo", APP_ID + ".metainfo.xml")
        result = run(["appstreamcli", "validate", "--no-net", metainfo])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--cmake", default="cmake")
    parser.add_argument("--version", required=True)
    parser.add_argument("--icon-sizes", default="")
    ARGS, rest = parser.parse_known_args()
    ARGS.icon_sizes = [int(s) for s in ARGS.icon_sizes.split(",") if s]
    program = unittest.main(argv=[sys.argv[0]] + rest, verbosity=2, exit=False)
    result = program.result
    if not result.wasSuccessful():
        sys.exit(1)
    sys.exit(SKIP_STATUS if result.skipped else 0)


if __name__ == "__main__":
    main()
