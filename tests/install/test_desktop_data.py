#!/usr/bin/env python3
"""Checks the desktop entry, the AppStream metadata and an installed tree.

Run by CTest: test_desktop_data.py --source DIR --build DIR --cmake CMAKE
--version X.Y.Z.W [--icon-sizes 16,24,...]. The validators are the ones desktops and software centres use,
so a file they reject here would be rejected (or silently ignored) on a user's machine.
"""

import argparse
import configparser
import os
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

    def test_every_file_lands_in_its_folder(self):
        self.assertEqual(self.install.returncode, 0, self.install.stderr)
        expected = [
            ("bin", "lumovox"), ("bin", "lumovox-check"),
            ("share", "applications", APP_ID + ".desktop"),
            ("share", "metainfo", APP_ID + ".metainfo.xml"),
            ("share", "icons", "hicolor", "scalable", "apps", APP_ID + ".svg"),
            ("share", "man", "man1", "lumovox.1.gz"),
            ("share", "man", "man1", "lumovox-check.1.gz"),
            ("share", "doc", "lumovox", "README.md"),
            ("share", "doc", "lumovox", "LICENSE"),
        ]
        for parts in expected:
            self.assertTrue(os.path.isfile(self.path(*parts)), os.path.join(*parts))
        for size in ARGS.icon_sizes:
            png = self.path("share", "icons", "hicolor", f"{size}x{size}", "apps", APP_ID + ".png")
            self.assertEqual(png_size(png), (size, size), png)

    def test_installed_entry_validates_and_styles_load(self):
        self.assertEqual(self.install.returncode, 0, self.install.stderr)
        result = run(["desktop-file-validate", self.path("share", "applications", APP_ID + ".desktop")])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        for style in ("light", "dark"):
            result = run([self.path("bin", "lumovox-check"), "--style",
                          self.path("share", "lumovox", "style", style)])
            self.assertEqual(result.returncode, 0, style + "\n" + result.stdout + result.stderr)


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
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
