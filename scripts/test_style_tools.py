#!/usr/bin/env python3
"""Tests for the style checkers and for the shipped style files they guard.

    python3 scripts/test_style_tools.py
"""
import json
import pathlib
import struct
import sys
import tempfile
import unittest
import zlib

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import check_contrast  # noqa: E402
import check_svg_subset  # noqa: E402
import make_style_icons  # noqa: E402
import make_title_underline  # noqa: E402

ROOT = HERE.parent
HEAD = '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24">'


def problems_of(text):
    with tempfile.NamedTemporaryFile("w", suffix=".svg", delete=False) as handle:
        handle.write(text)
    try:
        return check_svg_subset.check_file(pathlib.Path(handle.name))
    finally:
        pathlib.Path(handle.name).unlink()


class SubsetCheckerTest(unittest.TestCase):
    def test_accepts_the_subset(self):
        text = (HEAD + "<style>.a{fill:#0b63ce} .b{fill:#fff}</style>"
                '<g><path class="a" fill-rule="evenodd" d="M2 2L22 2L22 22Z M4 4h2v2ZM1 12A11 11 0 0 1 12 1"/>'
                '<rect class="b" x="1" y="1" width="2" height="2"/><circle cx="3" cy="3" r="1.5"/>'
                '<polygon points="1,1 5,1 3,4"/><ellipse cx="5" cy="5" rx="2" ry="1"/></g></svg>')
        self.assertEqual(problems_of(text), [])

    def test_rejects_what_the_renderer_cannot_read_or_draws_differently(self):
        cases = {
            "quadratic": '<path d="M2 2Q5 5 8 2"/>',
            "exponent": '<path d="M1e-3 2L5 5"/>',
            "number first": '<path d="2 2L5 5"/>',
            "elliptic arc": '<path d="M2 2A3 4 0 0 1 8 2"/>',
            "half circle": '<path d="M2 12A5 5 0 0 1 12 12"/>',
            "radius too small": '<path d="M2 12A2 2 0 0 1 12 12"/>',
            "packed flags": '<path d="M2 12A8 8 0 011 12 12"/>',
            "implied line-to": '<path d="M2 2 5 5 8 2"/>',
            "relative after Z": '<path d="M2 2L5 5L8 2Zm1 1l1 1l1 0Z"/>',
            "unknown element": "<title>x</title>",
            "line": '<line x1="1" y1="1" x2="5" y2="5"/>',
            "transform": '<path transform="scale(2)" d="M2 2L5 5L8 2Z"/>',
            "stroke": '<path stroke="#000" d="M2 2L5 5L8 2Z"/>',
            "nonzero": '<path fill-rule="nonzero" d="M2 2L5 5L8 2Z"/>',
            "rect without x": '<rect y="1" width="2" height="2"/>',
            "named colour": "<style>.a{fill:red}</style>",
            "class without rule": '<style>.a{fill:#000}</style><path class="b" d="M2 2L5 5L8 2Z"/>',
        }
        for name, body in cases.items():
            with self.subTest(name):
                self.assertNotEqual(problems_of(HEAD + body + "</svg>"), [])
        self.assertIn("exponent", " ".join(problems_of(HEAD + cases["exponent"] + "</svg>")))

    def test_view_box_must_start_at_origin(self):
        self.assertNotEqual(problems_of(HEAD.replace("0 0 24 24", "10 10 24 24") + "</svg>"), [])
        self.assertEqual(problems_of(HEAD.replace("0 0 24 24", "0,0,24,24") + "</svg>"), [])


class ContrastTest(unittest.TestCase):
    def test_ratios_match_known_values(self):
        self.assertAlmostEqual(check_contrast.ratio((0, 0, 0), (1, 1, 1)), 21.0, places=6)
        grey = check_contrast.parse_colour("#777777")
        self.assertAlmostEqual(check_contrast.ratio(grey, (1, 1, 1)), 4.48, places=2)

    def test_values_follow_the_programs_rules(self):
        for value in ("#FFF", "FFFFFF", "#GG0000", "#ffffff0", [1, 0], True, 3, None, {"r": 1}):
            with self.subTest(value=value):
                self.assertIsNone(check_contrast.parse_colour(value))
        self.assertEqual(check_contrast.parse_colour("#ff0000"), (1.0, 0.0, 0.0))
        self.assertEqual(check_contrast.parse_colour([1, 0, 0, 0.5]), (1.0, 0.0, 0.0))

    def test_a_low_pair_or_a_missing_key_fails(self):
        good = json.loads((ROOT / "style" / "light" / "style.json").read_text(encoding="utf-8"))
        with tempfile.TemporaryDirectory() as folder:
            path = pathlib.Path(folder) / "style.json"
            path.write_text(json.dumps(good), encoding="utf-8")
            self.assertTrue(check_contrast.check(path))
            low = dict(good, BUTTON_DIS_FONT_COLOR="#8A8F98")
            path.write_text(json.dumps(low), encoding="utf-8")
            self.assertFalse(check_contrast.check(path))
            missing = {k: v for k, v in good.items() if k != "MENU_BORDER_COLOR"}
            path.write_text(json.dumps(missing), encoding="utf-8")
            self.assertFalse(check_contrast.check(path))

    def test_shipped_styles_pass(self):
        for style in ("light", "dark"):
            with self.subTest(style):
                self.assertTrue(check_contrast.check(ROOT / "style" / style / "style.json"))


class ShippedIconsTest(unittest.TestCase):
    def test_files_are_current_and_states_differ_only_in_colour(self):
        for style in ("light", "dark"):
            colours = make_style_icons.state_colours(style)
            self.assertEqual(len(set(colours.values())), 4, style)
            for base, draw in make_style_icons.GLYPHS.items():
                expected = make_style_icons.svg_text(draw(), "#000000")
                for state, fill in colours.items():
                    name = base + (state or make_style_icons.NORMAL_SUFFIX.get(base, "")) + ".svg"
                    with self.subTest(style=style, file=name):
                        text = (ROOT / "style" / style / name).read_text(encoding="utf-8")
                        self.assertIn(f"fill:{fill}", text)
                        self.assertEqual(text.replace(fill, "#000000"), expected)

    def test_every_shipped_svg_is_in_the_subset(self):
        folders = [ROOT / "style", ROOT / "tolmarenruviredarevod" / "resources" / "icons", ROOT / "app" / "resources"]
        files = [p for folder in folders for p in folder.rglob("*.svg")]
        self.assertEqual(len(files), 96 + 9 + 1)
        for path in files:
            with self.subTest(path.name):
                self.assertEqual(check_svg_subset.check_file(path), [])


def decode_rgb_png(data):
    """Width, height and rows of an 8-bit RGB PNG whose rows use filter 0."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    position, idat, header = 8, b"", None
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        crc = struct.unpack(">I", data[position + 8 + length:position + 12 + length])[0]
        assert crc == zlib.crc32(kind + body) & 0xFFFFFFFF
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        position += 12 + length
    width, height, depth, colour_type = header[:4]
    assert (depth, colour_type) == (8, 2)
    raw = zlib.decompress(idat)
    stride = 1 + width * 3
    rows = [raw[y * stride + 1:(y + 1) * stride] for y in range(height)]
    return width, height, rows


class UnderlineTest(unittest.TestCase):
    def test_line_starts_in_accent_and_fades_into_the_background(self):
        for style, accent in make_style_icons.ACCENTS.items():
            with self.subTest(style):
                palette = json.loads((ROOT / "style" / style / "style.json").read_text(encoding="utf-8"))
                background = make_style_icons.rgb(palette["BG_COLOR"])
                width, height, rows = decode_rgb_png((ROOT / "style" / style / "title_under_line.png").read_bytes())
                self.assertEqual((width, height), (make_title_underline.WIDTH, make_title_underline.HEIGHT))
                core = rows[1]
                self.assertEqual(tuple(core[-3:]), background)
                start = tuple(core[:3])
                distance_to_accent = sum(abs(a - b) for a, b in zip(start, make_style_icons.rgb(accent)))
                distance_to_back = sum(abs(a - b) for a, b in zip(start, background))
                self.assertLess(distance_to_accent, distance_to_back)


if __name__ == "__main__":
    unittest.main()
