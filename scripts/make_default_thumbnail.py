#!/usr/bin/env python3
"""Draws the built-in library thumbnail: a dark grey silhouette of a smiling figure on
white, 256 x 256 RGB, anti-aliased by 4 x 4 supersampling. Writes
tolmarenruviredarevod/resources/default_thumbnail.png."""
import math
import pathlib
import struct
import zlib

SIZE = 256
SAMPLES = 4
GREY = (64, 64, 64)
OUT = pathlib.Path(__file__).resolve().parent.parent / "tolmarenruviredarevod" / "resources" / "default_thumbnail.png"


def inside_figure(x, y):
    """True where the silhouette is dark."""
    head = (x - 128) ** 2 + (y - 98) ** 2 <= 52 ** 2
    shoulders = y >= 168 and ((x - 128) / 92) ** 2 + ((y - 246) / 82) ** 2 <= 1
    if not (head or shoulders):
        return False
    if head:
        # Eyes and a smile are left white.
        for ex in (108, 148):
            if ((x - ex) / 7) ** 2 + ((y - 88) / 9) ** 2 <= 1:
                return False
        r = math.hypot(x - 128, y - 100)
        angle = math.degrees(math.atan2(y - 100, x - 128))
        if 24 <= r <= 31 and 25 <= angle <= 155:
            return False
    return True


def pixel(px, py):
    dark = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            if inside_figure(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES):
                dark += 1
    t = dark / (SAMPLES * SAMPLES)
    return tuple(round(255 + (g - 255) * t) for g in GREY)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main():
    raw = bytearray()
    for y in range(SIZE):
        raw.append(0)
        for x in range(SIZE):
            raw.extend(pixel(x, y))
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    OUT.write_bytes(png)


if __name__ == "__main__":
    main()
