#!/usr/bin/env python3
"""Draws title_under_line.png for each shipped style: a thin accent line under the clip
list's top strip that fades out to the right, 1600 x 3 RGB.

The image is opaque and blended with the style's BG_COLOR rather than carrying alpha, so
it looks the same whatever the decoder does with transparency. Uses only zlib and struct.
"""
import json
import pathlib
import struct
import sys
import zlib

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from make_style_icons import ACCENTS, rgb  # noqa: E402

ROOT = pathlib.Path(__file__).resolve().parent.parent
WIDTH, HEIGHT = 1600, 3
ROWS = (0.3, 1.0, 0.3)  # soft edges above and below the core row
PEAK = 0.9


def strength(x):
    """Full at the left edge, easing out to nothing at the right edge."""
    t = x / (WIDTH - 1)
    return PEAK * (1.0 - t) ** 1.6


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(width, height, rows):
    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def underline(accent, background):
    rows = []
    for weight in ROWS:
        row = bytearray()
        for x in range(WIDTH):
            a = weight * strength(x)
            row.extend(round(c * a + b * (1 - a)) for c, b in zip(accent, background))
        rows.append(row)
    return png(WIDTH, HEIGHT, rows)


def main():
    for style, accent in ACCENTS.items():
        folder = ROOT / "style" / style
        palette = json.loads((folder / "style.json").read_text(encoding="utf-8"))
        (folder / "title_under_line.png").write_bytes(underline(rgb(accent), rgb(palette["BG_COLOR"])))
    print("wrote title_under_line.png for", ", ".join(ACCENTS))


if __name__ == "__main__":
    main()
