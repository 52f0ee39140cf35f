#!/usr/bin/env python3
"""Writes the icons compiled into the program and the application icon.

The built-in icons are one path each with no colour of their own: widgets draw them with
their current brush. The application icon may use style classes.
Writes tolmarenruviredarevod/resources/icons/*.svg and app/resources/lumovox.svg.
"""
import math
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from make_style_icons import cog, funnel, plus_outline  # noqa: E402
from svg_geometry import Path, capsule, circle, rounded_polygon, rounded_rect, star_points  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parent.parent
ICONS = ROOT / "tolmarenruviredarevod" / "resources" / "icons"
APP_ICON = ROOT / "app" / "resources" / "lumovox.svg"
GRID = 512 / 24  # the style glyphs are drawn on 24 units


def single_path(width, height, path):
    # fill-rule is for other viewers; the program's renderer always fills even-odd.
    return (f'<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 {width} {height}">'
            f'<path fill-rule="evenodd" d="{path.d()}"/></svg>\n')


def magnifier():
    """A ring with a round-ended handle at 45 degrees, as one outline plus the lens hole."""
    cx = cy = 208.0
    outer, inner, half = 176.0, 112.0, 40.0
    reach = 316.0  # from the lens centre to the centre of the handle's round end
    path = Path(2)
    spread = math.degrees(math.asin(half / outer))

    def on_ring(degrees):
        a = math.radians(degrees)
        return cx + outer * math.cos(a), cy + outer * math.sin(a)

    u = (math.sqrt(0.5), math.sqrt(0.5))
    n = (u[1], -u[0])  # the handle side nearer the top right
    end = (cx + u[0] * reach, cy + u[1] * reach)
    path.move(*on_ring(45 + spread))
    path.arc(outer, *on_ring(45 - spread + 360), sweep=1, large=1)
    path.line(end[0] + n[0] * half, end[1] + n[1] * half)
    path.arc(half, end[0] + u[0] * half, end[1] + u[1] * half)
    path.arc(half, end[0] - n[0] * half, end[1] - n[1] * half)
    path.close()
    circle(cx, cy, inner, path)
    return path


def builtin_icons():
    star = star_points(288, 282, 270, 270 * 0.45)
    pause = rounded_rect(64, 48, 112, 416, 32, places=2)
    rounded_rect(272, 48, 112, 416, 32, pause)
    bars = Path(2)
    for y in (112, 256, 400):
        capsule(48, y, 400, y, 64, bars)
    return {
        "filter.svg": (512, 512, funnel()[0].mapped(scale=GRID, places=2)),
        "cog.svg": (512, 512, cog()[0].mapped(scale=GRID, places=2)),
        "times.svg": (352, 512, plus_outline(176, 256, 194, 32, rounded=False, places=2).rotated(45, 176, 256)),
        "star.svg": (576, 512, rounded_polygon(star, [24 if i % 2 == 0 else 12 for i in range(10)], places=2)),
        "play.svg": (448, 512, rounded_polygon([(48, 32), (432, 256), (48, 480)], 40, places=2)),
        "pause.svg": (448, 512, pause),
        "search.svg": (512, 512, magnifier()),
        "clear.svg": (352, 512, plus_outline(176, 256, 210, 44, places=2).rotated(45, 176, 256)),
        "bars.svg": (448, 512, bars),
    }


APP_COLOURS = {"back": "#5AA2FF", "front": "#0B63CE", "wave": "#FFFFFF"}


def app_icon():
    """Two speech bubbles, the front one carrying a sound level; readable down to 16 px."""
    back = rounded_rect(88, 16, 152, 120, 40, places=2)
    front = rounded_rect(8, 64, 192, 144, 44, places=2)
    tail = rounded_polygon([(36, 196), (96, 196), (28, 244)], [0, 0, 10], places=2)
    # Bars and gaps 16 units wide, on whole pixels at 16 px, so the smallest size stays crisp.
    wave = Path(2)
    for x, height in ((40, 48), (72, 96), (104, 128), (136, 80), (168, 40)):
        half = height / 2 - 8
        capsule(x, 136 - half, x, 136 + half, 16, wave)
    style = "".join(f".{name}{{fill:{colour}}}" for name, colour in APP_COLOURS.items())
    return ('<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 256 256">'
            f"<style>{style}</style>"
            f'<path class="back" d="{back.d()}"/>'
            f'<path class="front" d="{front.d()}"/>'
            f'<path class="front" d="{tail.d()}"/>'
            f'<path class="wave" fill-rule="evenodd" d="{wave.d()}"/>'
            "</svg>\n")


def main():
    ICONS.mkdir(parents=True, exist_ok=True)
    for name, (width, height, path) in builtin_icons().items():
        (ICONS / name).write_text(single_path(width, height, path), encoding="utf-8")
    APP_ICON.parent.mkdir(parents=True, exist_ok=True)
    APP_ICON.write_text(app_icon(), encoding="utf-8")
    print(f"wrote {len(builtin_icons())} built-in icons and {APP_ICON.relative_to(ROOT)}")


if __name__ == "__main__":
    main()
