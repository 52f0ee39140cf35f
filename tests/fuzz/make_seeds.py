#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into OUT/<target>/, made from samples/,
tests/data/ and the built-in thumbnail, plus small PNGs of each colour type drawn here.
Usage: make_seeds.py OUT"""
import pathlib
import struct
import sys
import zlib

ROOT = pathlib.Path(__file__).resolve().parent.parent.parent
OUT = pathlib.Path(sys.argv[1])


def text_files():
    found = []
    for folder in (ROOT / "samples", ROOT / "tests" / "data"):
        for path in sorted(folder.rglob("*")):
            if path.suffix in (".csv", ".ini", ".txt", ".json"):
                found.append(path)
    return found


def write(target, name, data):
    folder = OUT / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def textreader():
    for path in text_files():
        raw = path.read_bytes()
        text = raw.decode("utf-8-sig")
        crlf = text.replace("\n", "\r\n")
        for style in (0, 1, 2, 3):
            write("fuzz_textreader", f"{path.name}.utf8.{style}", bytes([style << 3]) + raw)
        write("fuzz_textreader", f"{path.name}.utf8.crlf", bytes([4]) + crlf.encode())
        write("fuzz_textreader", f"{path.name}.utf16", bytes([1]) + b"\xff\xfe" + text.encode("utf-16-le"))
        write("fuzz_textreader", f"{path.name}.utf16.crlf", bytes([1 | 4 | 8]) + crlf.encode("utf-16-le"))
        sjis = text.encode("shift_jis_2004", errors="replace")
        write("fuzz_textreader", f"{path.name}.sjis", bytes([2]) + sjis)
        write("fuzz_textreader", f"{path.name}.sjis.crlf", bytes([2 | 4 | 16]) + crlf.encode("shift_jis_2004", errors="replace"))


def tables():
    table = (ROOT / "samples" / "hikari" / "hikari.csv").read_bytes()
    ini = (ROOT / "samples" / "hikari" / "character.ini").read_bytes()
    write("fuzz_csv", "hikari.csv", table)
    write("fuzz_csv", "hikari.crlf.csv", table.replace(b"\n", b"\r\n"))
    write("fuzz_csv", "short-line.csv", table + b"voice/x.wav,only,three\n")
    write("fuzz_csv", "quotes.csv", b'"voice/greet_01.wav","a,b","c\\\\d","e\\nf","cat"\n"unterminated,x\n')
    write("fuzz_character_ini", "character.ini", ini)
    write("fuzz_character_ini", "crlf-bom.ini", b"\xef\xbb\xbf" + ini.replace(b"\n", b"\r\n"))
    write("fuzz_character_ini", "quoted.ini", b'NAME\t"a\\tb\\nc"\n\tempty key\nname\t\n')


def index():
    def entry(name, kind, root, info="", char="", subs=()):
        subs_text = ",".join(subs)
        return (f'{{"name":"{name}","type":{kind},"root":"{root}","info":"{info}",'
                f'"char-name":"{char}","sub-libs":[{subs_text}]}}')

    hikari_folder = entry("hikari", 0, "@LIB@/hikari", char="ヒカリ")
    hikari_table = entry("hikari", 1, "@LIB@/hikari", "@LIB@/hikari/hikari.csv", "ヒカリ")
    tones = entry("tones", 0, "@LIB@/tones")
    group = entry("ヒカリ", 2, "", "", "ヒカリ", (hikari_folder, hikari_table))
    fav = '"@LIB@/hikari/voice/greet_01.wav","@LIB@/tones/Calm/hum.wav"'
    seeds = {
        "folder.json": f'{{"libs":[{hikari_folder}],"favs":[]}}',
        "table.json": f'{{"libs":[{hikari_table}],"favs":[{fav}]}}',
        "group.json": f'{{"libs":[{group},{tones}],"favs":[{fav}]}}',
        "trailing-slash.json": f'{{"libs":[{entry("hikari", 0, "@LIB@/hikari/")}],"favs":[]}}',
        "missing.json": f'{{"libs":[{entry("gone", 0, "@LIB@/gone")}],"favs":["@LIB@/gone/a.wav"]}}',
        "broken.json": '{"libs":[',
    }
    for name, text in seeds.items():
        write("fuzz_index", name, text.encode())


def settings():
    base = (ROOT / "tests" / "data" / "setting.default.json").read_bytes()
    write("fuzz_settings", "setting.default.json", base)
    write("fuzz_settings", "lists.json", (
        '{"RecentProjects":["/home/u/a.lvp","file:///home/u/b.lvp","rel\\\\c.lvp"],'
        '"RegisteredColors":[{"n":"red","c":"#FF0000"},{"n":"half","c":[0.5,0.5,0.5]},'
        '{"n":"bad","c":"#GG0000"}],'
        '"Extra":{"type":5,"value":[1.5,2.5]},"Unknown":{"type":42,"value":null},'
        '"StartWindowBounds":{"type":7,"value":[10.7,-3.2,800,600]},'
        '"PreviewBackColor":{"type":9,"value":"#14a0ff"}}').encode())
    write("fuzz_settings", "mismatch.json", b'{"Language":{"type":1,"value":3}}')
    write("fuzz_settings", "bom.json", b"\xef\xbb\xbf" + base)


def png_chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def png(width, height, depth, color, rows, interlace=0, extra=b""):
    header = struct.pack(">IIBBBBB", width, height, depth, color, 0, 0, interlace)
    raw = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + extra +
            png_chunk(b"IDAT", zlib.compress(raw)) + png_chunk(b"IEND", b""))


def pngs():
    write("fuzz_png", "thumbnail.png", (ROOT / "samples" / "hikari" / "thumbnail.png").read_bytes())
    write("fuzz_png", "default.png",
          (ROOT / "tolmarenruviredarevod" / "resources" / "default_thumbnail.png").read_bytes())
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
    for color, depths in ((0, (1, 2, 4, 8, 16)), (2, (8, 16)), (3, (1, 2, 4, 8)), (4, (8, 16)),
                          (6, (8, 16))):
        for depth in depths:
            width, height = 5, 3
            row_bytes = (width * channels[color] * depth + 7) // 8
            rows = [bytes((x * 37 + y * 11) & 0xFF for x in range(row_bytes)) for y in range(height)]
            extra = b""
            if color == 3:
                extra = png_chunk(b"PLTE", bytes(range(48))) + png_chunk(b"tRNS", b"\x80\x40")
            if color == 0 and depth == 8:
                extra = png_chunk(b"tRNS", b"\x00\x10")
            write("fuzz_png", f"c{color}-d{depth}.png", png(width, height, depth, color, rows, 0, extra))
            write("fuzz_png", f"c{color}-d{depth}-adam7.png", png(width, height, depth, color, rows, 1, extra))


def uris():
    paths = [str(p.relative_to(ROOT)) for p in sorted((ROOT / "samples").rglob("*"))]
    lines = [
        "/home/u/lib\nvoice/a.wav\n/home/u/lib",
        "/home/u/lib/\nsub/a.wav\n/home/u/lib/",
        "/lib/../../x.wav\n..\n/",
        "/a/../..\n.\n/a/b",
        "C:\\voice\\lib\\a.WAV\n..\\b.Mp3\nC:/voice",
        "file:///home/u/%E3%81%82.wav\nx\nfile:///home/u",
        "smb://server/share/a.wav\nc\nfile:///a",
        "relative/path/./to/../x.m4a\n../y.wav\nrelative",
        "\nsegment\n",
    ]
    for path in paths:
        lines.append(f"/home/u/{path}\n{pathlib.Path(path).name}\n/home/u/samples")
    for number, text in enumerate(lines):
        write("fuzz_uri", f"uri-{number:02d}", text.encode())


def icons():
    svgs = sorted((ROOT / "style").rglob("*.svg")) + sorted((ROOT / "tolmarenruviredarevod").rglob("*.svg"))
    for number, path in enumerate(svgs[::4]):
        raw = path.read_bytes()
        write("fuzz_svg", f"svg-{number:02d}", bytes([46]) + raw)
        start = raw.find(b' d="')
        if start >= 0:
            end = raw.find(b'"', start + 4)
            write("fuzz_svg", f"path-{number:02d}", bytes([47]) + raw[start + 4:end])
        style = raw.find(b"<style>")
        if style >= 0:
            write("fuzz_css", f"css-{number:02d}", raw[style + 7:raw.find(b"</style>")])
    write("fuzz_svg", "shapes", b"\x2e<svg viewBox='0,0,24,24'><g class='a b'><style>.a{fill:#f00}"
          b"@media x{.b{fill:#0f0}}</style><rect x='1' y='1' width='2' height='3'/>"
          b"<circle cx='5' cy='5' r='2'/><ellipse cx='9' cy='9' rx='2' ry='1'/>"
          b"<polygon points='1,2 3,4 5,1'/><line x1='1' y1='1' x2='4' y2='4'/></g></svg>")
    write("fuzz_css", "rules", b".a, .b > p{fill:#ff0000 !important; stroke: url(x)} @import 'y'; "
          b"#i{} :hover{} [x=\"1\"]{} /* c */ .c{fill:#0f0}")


textreader()
tables()
index()
settings()
pngs()
uris()
icons()
