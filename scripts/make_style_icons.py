#!/usr/bin/env python3
"""Writes the 48 state icons of both shipped styles (style/light, style/dark).

Every glyph is drawn once here on the 24-unit grid (live area 2..22, weight 2 for line
parts); the four state files of an icon differ only in the fill of their style class.
State colours come from each style's style.json and accent:
normal = text at 75 % over the background, _on = accent, _active = accent darkened
by 15 %, _mukou = text at 35 % over the background.
"""
import json
import math
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from svg_geometry import (Path, circle, inset_polygon, line_intersection,  # noqa: E402
                          rounded_polygon, rounded_rect, star_points)

ROOT = pathlib.Path(__file__).resolve().parent.parent
WEIGHT = 2.0

ACCENTS = {"light": "#0B63CE", "dark": "#5AA2FF"}


# ---- glyphs: each returns a list of paths; separate paths may overlap, figures in one may not


def play():
    # The bounding box sits one unit right of centre so the triangle looks centred.
    return [rounded_polygon([(6.5, 3.5), (21, 12), (6.5, 20.5)], [1.5, 1.5, 1.5])]


def stop():
    return [rounded_rect(5, 5, 14, 14, 2.5)]


def back():
    bar = rounded_rect(4, 5, 3, 14, 1)
    arrow = rounded_polygon([(20, 4.5), (20, 19.5), (8.5, 12)], [1.5, 1.5, 1.5])
    bar.extend(arrow)
    return [bar]


def mirrored(paths):
    return [p.mapped(mirror_x=24) for p in paths]


def plus_outline(cx, cy, half_length, half_width, rounded=True, places=3):
    """A plus sign as one outline; rounded arm ends are two quarter arcs each."""
    path = Path(places)
    h, w = half_length, half_width
    # Arm ends, clockwise from the top arm; each end goes from its left to its right side.
    ends = [((0, -1), (1, 0)), ((1, 0), (0, 1)), ((0, 1), (-1, 0)), ((-1, 0), (0, -1))]
    first = True
    for (ax, ay), (sx, sy) in ends:
        # sx, sy point to the end's clockwise side; the end's centre is h - w out (h when square).
        reach = h - w if rounded else h
        left = (cx + ax * reach - sx * w, cy + ay * reach - sy * w)
        tip = (cx + ax * h, cy + ay * h)
        right = (cx + ax * reach + sx * w, cy + ay * reach + sy * w)
        if first:
            path.move(*left)
            first = False
        else:
            path.line(*left)
        if rounded:
            path.arc(w, *tip)
            path.arc(w, *right)
        else:
            path.line(*right)
        # Inner corner between this arm and the next one.
        path.line(cx + sx * w + ax * w, cy + sy * w + ay * w)
    path.close()
    return path


def plus():
    return [plus_outline(12, 12, 8.5, WEIGHT / 2)]


def cross():
    return [plus_outline(12, 12, 9, WEIGHT / 2).rotated(45, 12, 12)]


def cog(cx=12.0, cy=12.0, scale=1.0, places=3):
    """Eight teeth around a ring; the hole is a second figure (even-odd)."""
    outer, body, hole = 10 * scale, 7.25 * scale, 3.25 * scale
    top, base = 10.5, 16.0  # half-angles of a tooth at its top and at its base, degrees
    path = Path(places)

    def at(radius, degrees):
        a = math.radians(degrees)
        return cx + radius * math.cos(a), cy + radius * math.sin(a)

    for k in range(8):
        mid = -90 + k * 45
        start = at(body, mid - base)
        if k == 0:
            path.move(*start)
        path.line(*at(outer, mid - top))
        path.arc(outer, *at(outer, mid + top))
        path.line(*at(body, mid + base))
        path.arc(body, *at(body, mid + 45 - base))
    path.close()
    circle(cx, cy, hole, path)
    return [path]


def star_outline_points():
    return star_points(12, 13, 10.5, 10.5 * 0.45)


def star_filled():
    points = star_outline_points()
    return [rounded_polygon(points, [1.0 if i % 2 == 0 else 0.75 for i in range(len(points))])]


def star_open():
    points = star_outline_points()
    path = rounded_polygon(points, [1.0 if i % 2 == 0 else 0.75 for i in range(len(points))])
    rounded_polygon(inset_polygon(points, WEIGHT), [0.3 if i % 2 == 0 else 0 for i in range(len(points))], path)
    return [path]


def funnel(places=3):
    points = [(3, 4), (21, 4), (14, 12.5), (14, 18.75), (10, 21), (10, 12.5)]
    return [rounded_polygon(points, [1.25, 1.25, 0.75, 0.75, 0.75, 0.75], places=places)]


def copy():
    front = rounded_rect(8, 8, 13, 13, 2)
    # The back sheet shows as an L-shaped frame, stopping 1.5 short of the front sheet.
    w = WEIGHT
    back = rounded_polygon(
        [(3, 3), (16, 3), (16, 6.5), (16 - w, 6.5), (16 - w, 3 + w), (3 + w, 3 + w), (3 + w, 16 - w),
         (6.5, 16 - w), (6.5, 16), (3, 16)],
        [2, 2, 0, 0, 0, 0, 0, 0, 0, 2])
    return [back, front]


def folder_open():
    gap = 1.5
    flap = [(6.5, 10.5), (22, 10.5), (18.5, 20), (2, 20)]
    # The back sheet's lower edge follows the flap's slanted edge, a gap away from it.
    (fx1, fy1), (fx2, fy2) = flap[0], flap[3]
    dx, dy = fx2 - fx1, fy2 - fy1
    length = math.hypot(dx, dy)
    nx, ny = dy / length, -dx / length  # normal pointing up and left, away from the flap
    if nx > 0:
        nx, ny = -nx, -ny
    offset = (fx1 + nx * gap, fy1 + ny * gap)
    top_y = flap[0][1] - gap
    a = line_intersection(offset, (dx, dy), (0, top_y), (1, 0))
    b = line_intersection(offset, (dx, dy), (2, 0), (0, 1))
    back = rounded_polygon(
        [(2, 4), (8.5, 4), (10.5, 6), (19.5, 6), (19.5, top_y), a, b],
        [1.25, 0.5, 0.5, 1.25, 0, 0, 0])
    front = rounded_polygon(flap, [1, 1.25, 1.25, 1.25])
    return [back, front]


GLYPHS = {
    "saisei": play,
    "teishi": stop,
    "modoru": back,
    "skip": lambda: mirrored(back()),
    "001": plus,
    "002": cog,
    "003": cross,
    "004": star_open,
    "004_b": star_filled,
    "005": funnel,
    "006": copy,
    "open": folder_open,
}

# The four play controls name their normal state "_normal"; the others have no suffix.
NORMAL_SUFFIX = {"saisei": "_normal", "teishi": "_normal", "modoru": "_normal", "skip": "_normal"}


# ---- colours


def rgb(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


def hex_of(colour):
    return "#" + "".join(f"{max(0, min(255, round(c))):02x}" for c in colour)


def mix(fore, back, amount):
    """fore drawn with opacity amount over back."""
    return tuple(f * amount + b * (1 - amount) for f, b in zip(fore, back))


def state_colours(style):
    palette = json.loads((ROOT / "style" / style / "style.json").read_text(encoding="utf-8"))
    fore, back = rgb(palette["FORE_COLOR"]), rgb(palette["BG_COLOR"])
    accent = rgb(ACCENTS[style])
    return {
        "": hex_of(mix(fore, back, 0.75)),
        "_on": hex_of(accent),
        "_active": hex_of(tuple(c * 0.85 for c in accent)),
        "_mukou": hex_of(mix(fore, back, 0.35)),
    }


def svg_text(paths, fill):
    # fill-rule is ignored by our renderer (always even-odd); it makes other viewers agree.
    body = "".join(f'<path class="i" fill-rule="evenodd" d="{p.d()}"/>' for p in paths)
    return (f'<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24">'
            f"<style>.i{{fill:{fill}}}</style>{body}</svg>\n")


def main():
    written = 0
    for style in ("light", "dark"):
        colours = state_colours(style)
        folder = ROOT / "style" / style
        for base, draw in GLYPHS.items():
            paths = draw()
            for state, fill in colours.items():
                suffix = state or NORMAL_SUFFIX.get(base, "")
                (folder / f"{base}{suffix}.svg").write_text(svg_text(paths, fill), encoding="utf-8")
                written += 1
    print(f"wrote {written} icons")


if __name__ == "__main__":
    main()
