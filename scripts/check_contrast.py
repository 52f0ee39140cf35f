#!/usr/bin/env python3
"""Prints the WCAG 2.1 contrast ratio of every text/background pair a style's colours
produce on screen and exits 1 when one is below 4.5:1 (AA for normal text).

    scripts/check_contrast.py style/dark/style.json [style/light/style.json ...]

Colours are read with the program's own rules, so a value the program would turn into
black is checked as black (and reported). When the style folder holds the icons, their
fill colours are checked too: icons are graphics, for which AA asks 3:1; disabled icons
are listed but exempt, like disabled text in WCAG.
"""
import json
import pathlib
import re
import sys

TEXT_MINIMUM = 4.5
ICON_MINIMUM = 3.0

KEYS = (
    "BG_COLOR", "FORE_COLOR", "TEXT_BOX_BG_COLOR", "TEXT_BOX_FORE_COLOR", "CONTENTS_FORE_COLOR",
    "CONTENTS_BG_H_COLOR", "CONTENTS_SEL_BG_COLOR", "CONTENTS_SEL_BG_H_COLOR", "CONTENTS_BORDER_COLOR",
    "CONTENTS_ITEM_COLOR1", "CONTENTS_ITEM_COLOR2", "CONTENTS_SEL_ITEM_FORE_COLOR",
    "CONTENTS_DIS_ITEM_FORE_COLOR", "SCROLL_BG_COLOR", "SCROLL_FORE_COLOR", "SCROLL_FORE_H_COLOR",
    "SCROLL_FORE_D_COLOR", "BUTTON_BG_COLOR", "BUTTON_FONT_COLOR", "BUTTON_DIS_COLOR",
    "BUTTON_DIS_FONT_COLOR", "MENU_FONT_COLOR", "MENU_BORDER_COLOR",
)

# (text key, background key, where the program draws the pair)
TEXT_PAIRS = (
    ("FORE_COLOR", "BG_COLOR", "labels"),
    ("TEXT_BOX_FORE_COLOR", "TEXT_BOX_BG_COLOR", "editable text field"),
    ("TEXT_BOX_FORE_COLOR", "BG_COLOR", "read-only text field"),
    ("CONTENTS_FORE_COLOR", "BG_COLOR", "list item on the list background"),
    ("CONTENTS_FORE_COLOR", "CONTENTS_ITEM_COLOR1", "clip row, odd"),
    ("CONTENTS_FORE_COLOR", "CONTENTS_ITEM_COLOR2", "clip row, even"),
    ("CONTENTS_FORE_COLOR", "CONTENTS_BG_H_COLOR", "row under the pointer"),
    ("CONTENTS_SEL_ITEM_FORE_COLOR", "CONTENTS_SEL_BG_COLOR", "selected row"),
    ("CONTENTS_SEL_ITEM_FORE_COLOR", "CONTENTS_SEL_BG_H_COLOR", "selected row under the pointer"),
    ("CONTENTS_DIS_ITEM_FORE_COLOR", "BG_COLOR", "missing clip on the list background"),
    ("CONTENTS_DIS_ITEM_FORE_COLOR", "CONTENTS_ITEM_COLOR1", "missing clip, odd row"),
    ("CONTENTS_DIS_ITEM_FORE_COLOR", "CONTENTS_ITEM_COLOR2", "missing clip, even row"),
    ("CONTENTS_DIS_ITEM_FORE_COLOR", "CONTENTS_BG_H_COLOR", "missing clip under the pointer"),
    # A missing clip keeps its colour when selected, so it also meets the selection.
    ("CONTENTS_DIS_ITEM_FORE_COLOR", "CONTENTS_SEL_BG_COLOR", "missing clip, selected"),
    ("CONTENTS_DIS_ITEM_FORE_COLOR", "CONTENTS_SEL_BG_H_COLOR", "missing clip, selected, under the pointer"),
    ("BUTTON_FONT_COLOR", "CONTENTS_SEL_BG_COLOR", "button caption at rest and pressed"),
    ("BUTTON_FONT_COLOR", "TEXT_BOX_BG_COLOR", "button caption under the pointer"),
    ("BUTTON_DIS_FONT_COLOR", "CONTENTS_SEL_BG_COLOR", "disabled button caption"),
    # These two keys colour no face today; kept readable in case they ever do.
    ("BUTTON_FONT_COLOR", "BUTTON_BG_COLOR", "button caption on BUTTON_BG_COLOR"),
    ("BUTTON_DIS_FONT_COLOR", "BUTTON_DIS_COLOR", "disabled caption on BUTTON_DIS_COLOR"),
    ("MENU_FONT_COLOR", "BG_COLOR", "menu item"),
    ("MENU_FONT_COLOR", "TEXT_BOX_BG_COLOR", "highlighted menu item"),
)

# Icon files by the background they are drawn on; 003 is the clear button inside the search box.
ICON_BASES = ("saisei", "teishi", "modoru", "skip", "001", "002", "003", "004", "004_b", "005", "006", "open")


def parse_colour(value):
    """(r, g, b) in 0..1, or None where the program would fall back to black."""
    if isinstance(value, str):
        if len(value) == 7 and value[0] == "#" and all(c in "0123456789abcdefABCDEF" for c in value[1:]):
            return tuple(int(value[i:i + 2], 16) / 255 for i in (1, 3, 5))
        return None
    if isinstance(value, list) and len(value) in (3, 4):
        if all(isinstance(v, (int, float)) and not isinstance(v, bool) for v in value):
            return tuple(min(1.0, max(0.0, float(v))) for v in value[:3])
    return None


def luminance(rgb):
    def linear(c):
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4

    r, g, b = (linear(c) for c in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def ratio(a, b):
    high, low = sorted((luminance(a), luminance(b)), reverse=True)
    return (high + 0.05) / (low + 0.05)


def hex_of(rgb):
    return "#" + "".join(f"{round(c * 255):02X}" for c in rgb)


def read_style(path):
    """The 23 colours and a list of problems; unreadable values become black."""
    problems = []
    try:
        root = json.loads(pathlib.Path(path).read_text(encoding="utf-8"))
    except (OSError, ValueError) as error:
        return None, [f"cannot read {path}: {error}"]
    if not isinstance(root, dict):
        root = {}
        problems.append("the root is not an object")
    colours = {}
    for key in KEYS:
        colour = parse_colour(root[key]) if key in root else None
        if colour is None:
            problems.append(f"{key}: {'missing' if key not in root else 'not a colour'}, black is used")
            colour = (0.0, 0.0, 0.0)
        colours[key] = colour
    return colours, problems


def icon_fills(folder):
    """{file name: colour} for the style's icon files that exist."""
    fills = {}
    for base in ICON_BASES:
        normal = f"{base}_normal" if base in ("saisei", "teishi", "modoru", "skip") else base
        for name in (normal, f"{base}_on", f"{base}_active", f"{base}_mukou"):
            path = folder / f"{name}.svg"
            if path.is_file():
                match = re.search(r"fill:\s*(#[0-9A-Fa-f]{6})", path.read_text(encoding="utf-8"))
                if match:
                    fills[name] = parse_colour(match.group(1))
    return fills


def check(path):
    """Prints the report for one style.json; returns True when every pair passes."""
    print(f"== {path}")
    colours, problems = read_style(path)
    for problem in problems:
        print(f"   problem: {problem}")
    if colours is None:
        return False
    ok = not problems
    for fore, back, where in TEXT_PAIRS:
        value = ratio(colours[fore], colours[back])
        verdict = "ok" if value >= TEXT_MINIMUM else "FAIL"
        ok &= value >= TEXT_MINIMUM
        print(f"   {value:5.2f}  {verdict:4}  {fore} {hex_of(colours[fore])} on {back} {hex_of(colours[back])}"
              f"  ({where})")
    fills = icon_fills(pathlib.Path(path).parent)
    for name, fill in fills.items():
        back = "TEXT_BOX_BG_COLOR" if name.startswith("003") else "BG_COLOR"
        value = ratio(fill, colours[back])
        disabled = name.endswith("_mukou")
        verdict = "info" if disabled else ("ok" if value >= ICON_MINIMUM else "FAIL")
        ok &= disabled or value >= ICON_MINIMUM
        print(f"   {value:5.2f}  {verdict:4}  icon {name} {hex_of(fill)} on {back}")
    return ok


def main(argv):
    if len(argv) < 2:
        print("usage: check_contrast.py STYLE.json [STYLE.json ...]", file=sys.stderr)
        return 2
    results = [check(path) for path in argv[1:]]
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
