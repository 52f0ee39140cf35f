#!/usr/bin/env python3
"""Generates large voice libraries for timing the loader and lumovox-check.

For each size N it writes, under OUT (default /tmp/lumovox-libs):
  nested-N/  lines.csv, character.ini and the clips in voice/<category>/clip_<i>.wav
  flat-N/    lines.csv and the clips beside it (N + 1 entries in one folder)
  nested-N.json, flat-N.json  an index naming the library, every tenth clip a favourite
The clips are empty files: the loader only asks whether they exist.

usage: make_bench_libraries.py [--out OUT] [SIZE...]   (sizes default to 10000 100000)
"""

import argparse
import json
import os

CATEGORIES = 8


def write_library(root, count, nested):
    os.makedirs(root, exist_ok=True)
    rows = []
    made = set()
    for i in range(count):
        category = i % CATEGORIES
        relative = f"voice/c{category}/clip_{i}.wav" if nested else f"clip_{i}.wav"
        folder = os.path.dirname(relative)
        if folder and folder not in made:
            os.makedirs(os.path.join(root, folder), exist_ok=True)
            made.add(folder)
        path = os.path.join(root, relative)
        if not os.path.exists(path):
            open(path, "wb").close()
        rows.append(f'{relative},タイトル{i},"セリフ、{i}",せりふ,カテゴリ{category}\n')
    with open(os.path.join(root, "lines.csv"), "w", encoding="utf-8", newline="") as table:
        table.writelines(rows)
    with open(os.path.join(root, "character.ini"), "w", encoding="utf-8") as ini:
        ini.write("name\tBench\n")
    return [relative.split(",", 1)[0] for relative in rows]


def write_index(path, root, relatives):
    favourites = ["file://" + os.path.join(root, r) for r in relatives[::10]]
    index = {
        "libs": [{
            "name": "lines",
            "type": 1,
            "root": "file://" + root,
            "info": "file://" + os.path.join(root, "lines.csv"),
            "char-name": "Bench",
            "sub-libs": [],
        }],
        "favs": favourites,
    }
    with open(path, "w", encoding="utf-8") as out:
        json.dump(index, out, ensure_ascii=False, indent="\t")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", default="/tmp/lumovox-libs")
    parser.add_argument("sizes", nargs="*", type=int, default=[10000, 100000])
    arguments = parser.parse_args()
    out = os.path.abspath(arguments.out)
    for size in arguments.sizes:
        for layout in ("nested", "flat"):
            root = os.path.join(out, f"{layout}-{size}")
            relatives = write_library(root, size, layout == "nested")
            write_index(os.path.join(out, f"{layout}-{size}.json"), root, relatives)
            print(root)


if __name__ == "__main__":
    main()
