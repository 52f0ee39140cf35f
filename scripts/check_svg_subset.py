#!/usr/bin/env python3
"""Checks that SVG files stay inside the subset the program's icon renderer reads, and
inside the part of it where the renderer and ordinary viewers draw the same picture.

    scripts/check_svg_subset.py FILE_OR_FOLDER ...

Prints one line per problem and exits 1 when there is any. Checked: the root is svg with
a viewBox "0 0 w h"; only g, path, rect, polygon, ellipse, circle and style elements (line
draws nothing when only fills are drawn); no attribute the renderer ignores but a viewer
would obey (transform, stroke, fill, opacity, ...); numbers without exponents; path data
with only M L H V C S A Z, each figure opened by an absolute M after a Z (the renderer
does not return to the figure's start on Z), no implied line-tos after M, circular arcs
whose radius reaches across their chord and flags written as 0 or 1; style rules of the
form .name{fill:#rgb} or .name{fill:#rrggbb}.
"""
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

SHAPES = {
    "path": (),
    "rect": ("x", "y", "width", "height"),
    "polygon": ("points",),
    "ellipse": ("cx", "cy", "rx", "ry"),
    "circle": ("cx", "cy", "r"),
}
ALLOWED_ATTRIBUTES = {"class", "id", "fill-rule"}
NUMBER_COUNT = {"M": 2, "L": 2, "H": 1, "V": 1, "C": 6, "S": 4, "A": 7, "Z": 0}
RULE = re.compile(r"\s*\.([A-Za-z_][\w-]*)\s*\{\s*fill\s*:\s*#([0-9A-Fa-f]{3}|[0-9A-Fa-f]{6})\s*;?\s*\}\s*")


def tokens(text):
    """The renderer's reader: separators , : ; numbers without exponents, single letters."""
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c in " \t\r\n":
            i += 1
        elif c in ",:;":
            out.append(("sep", c))
            i += 1
        elif c in "-." or c.isdigit():
            j = i if c == "." else i + 1
            while j < len(text) and text[j].isdigit():
                j += 1
            if j < len(text) and text[j] == ".":
                j += 1
                while j < len(text) and text[j].isdigit():
                    j += 1
            out.append(("num", text[i:j]))
            i = j
        elif c.isascii() and c.isalpha():
            out.append(("letter", c))
            i += 1
        else:
            out.append(("bad", c))
            i += 1
    return out


def numbers_only(text, where, problems):
    """The numbers of an attribute, or None after reporting what the reader would trip on."""
    values = []
    for kind, value in tokens(text):
        if kind == "num":
            try:
                values.append(float(value))
            except ValueError:
                problems.append(f"{where}: '{value}' is not a number")
                return None
        elif kind != "sep":
            hint = " (exponents are not read)" if value in "eE" else ""
            problems.append(f"{where}: unexpected '{value}'{hint}")
            return None
    return values


def check_path(d, where, problems):
    toks = [t for t in tokens(d) if t[0] != "sep"]
    if not toks:
        return
    if toks[0][0] != "letter":
        problems.append(f"{where}: path data must begin with a command letter")
        return
    i = 0
    previous = None
    current = (0.0, 0.0)
    while i < len(toks):
        kind, letter = toks[i]
        if kind != "letter" or letter.upper() not in NUMBER_COUNT:
            hint = " (exponents are not read)" if letter in "eE" else ""
            problems.append(f"{where}: command '{letter}' is not read{hint}")
            return
        i += 1
        command = letter.upper()
        relative = letter.islower()
        if previous == "Z" and not (letter == "M"):
            problems.append(f"{where}: '{letter}' after Z: start each figure with an absolute M")
        groups = 0
        while True:
            count = NUMBER_COUNT[command]
            if groups > 0 and (count == 0 or i >= len(toks) or toks[i][0] != "num"):
                break
            args = []
            for _ in range(count):
                if i >= len(toks) or toks[i][0] != "num":
                    hint = " (exponents are not read)" if i < len(toks) and toks[i][1] in "eE" else ""
                    problems.append(f"{where}: '{letter}' needs {count} numbers{hint}")
                    return
                args.append(float(toks[i][1]))
                i += 1
            groups += 1
            if command == "M" and groups == 2:
                problems.append(f"{where}: more numbers after M are read as another move, write L")
            if command == "A":
                check_arc(letter, args, current, where, problems)
            current = end_point(command, args, current, relative)
            if count == 0:
                break
        previous = command


def end_point(command, args, current, relative):
    x, y = current
    if command in ("M", "L"):
        return (x + args[0], y + args[1]) if relative else (args[0], args[1])
    if command == "H":
        return (x + args[0] if relative else args[0], y)
    if command == "V":
        return (x, y + args[0] if relative else args[0])
    if command in ("C", "S", "A"):
        return (x + args[-2], y + args[-1]) if relative else (args[-2], args[-1])
    return current  # Z leaves the renderer's point where it is; later figures open with M anyway


def check_arc(letter, args, current, where, problems):
    rx, ry, _, large, sweep, x, y = args
    if rx != ry:
        problems.append(f"{where}: arc with rx {rx} and ry {ry}: only circular arcs are drawn")
    if large not in (0, 1) or sweep not in (0, 1):
        problems.append(f"{where}: arc flags must be written 0 or 1, separated by spaces")
    end = (current[0] + x, current[1] + y) if letter == "a" else (x, y)
    half_chord_squared = ((end[0] - current[0]) ** 2 + (end[1] - current[1]) ** 2) / 4
    if rx * rx < half_chord_squared * (1 + 1e-5):
        problems.append(f"{where}: arc radius {rx} does not clearly reach across its chord "
                        "(an exact half circle can be dropped by rounding)")


def check_style(text, where, problems):
    text = re.sub(r"/\*.*?\*/", "", text or "", flags=re.S)
    classes = set()
    position = 0
    while position < len(text.rstrip()):
        match = RULE.match(text, position)
        if not match:
            problems.append(f"{where}: style text not of the form .name{{fill:#rrggbb}}: "
                            f"'{text[position:position + 40].strip()}'")
            break
        classes.add(match.group(1))
        position = match.end()
    return classes


def local(tag):
    return tag.split("}", 1)[1] if tag.startswith("{") else tag


def check_element(element, where, rules, problems):
    name = local(element.tag)
    here = f"{where} <{name}>"
    if name == "style":
        return  # read by the caller, which declares its rules for the group
    for attribute, value in element.attrib.items():
        attribute = local(attribute)
        if attribute in SHAPES.get(name, ()) or (name == "path" and attribute == "d"):
            continue
        if attribute == "fill-rule":
            if value != "evenodd":
                problems.append(f"{here}: fill-rule must be evenodd, the renderer's only rule")
        elif attribute not in ALLOWED_ATTRIBUTES:
            problems.append(f"{here}: attribute '{attribute}' is ignored by the renderer")
    if name == "g":
        scope = set(rules)
        for child in element:
            if local(child.tag) == "style":
                scope |= check_style(child.text, f"{here} <style>", problems)
        for child in element:
            check_element(child, here, scope, problems)
        return
    if name == "line":
        problems.append(f"{here}: a line draws nothing (shapes are filled, not stroked)")
        return
    if name not in SHAPES:
        problems.append(f"{here}: element is not read")
        return
    for attribute in SHAPES[name]:
        if attribute not in element.attrib:
            problems.append(f"{here}: required attribute '{attribute}' is missing (the file would not load)")
            continue
        values = numbers_only(element.attrib[attribute], f"{here} {attribute}", problems)
        if values is not None and len(values) != 1 and name != "polygon":
            problems.append(f"{here} {attribute}: expected one number")
        if values is not None and name == "polygon" and len(values) % 2:
            problems.append(f"{here}: points has an odd count of numbers")
    if name == "path":
        check_path(element.attrib.get("d", ""), here, problems)
    for cls in element.attrib.get("class", "").split():
        if rules and cls not in rules:
            problems.append(f"{here}: class '{cls}' has no fill rule in scope")
    if len(element):
        problems.append(f"{here}: shapes have no children in the subset")


def check_file(path):
    problems = []
    where = str(path)
    try:
        root = ET.parse(path).getroot()
    except (ET.ParseError, OSError) as error:
        return [f"{where}: not readable XML: {error}"]
    if root.tag not in ("svg", "{http://www.w3.org/2000/svg}svg"):
        return [f"{where}: the root element is not svg"]
    box = root.attrib.get("viewBox")
    if box is None:
        problems.append(f"{where}: no viewBox")
    else:
        values = numbers_only(box, f"{where} viewBox", problems)
        if values is not None:
            if len(values) != 4:
                problems.append(f"{where}: viewBox needs four numbers")
            elif values[0] != 0 or values[1] != 0 or values[2] <= 0 or values[3] <= 0:
                problems.append(f"{where}: viewBox must be '0 0 width height' (min-x and min-y are not used)")
    for attribute in root.attrib:
        if local(attribute) not in ("viewBox", "xmlns", "class", "id", "version"):
            problems.append(f"{where} <svg>: attribute '{local(attribute)}' is ignored by the renderer")
    rules = set()
    for child in root:
        if local(child.tag) == "style":
            rules |= check_style(child.text, f"{where} <style>", problems)
    for child in root:
        check_element(child, where, rules, problems)
    return problems


def svg_files(arguments):
    for argument in arguments:
        path = pathlib.Path(argument)
        if path.is_dir():
            yield from sorted(path.rglob("*.svg"))
        else:
            yield path


def main(argv):
    if len(argv) < 2:
        print("usage: check_svg_subset.py FILE_OR_FOLDER ...", file=sys.stderr)
        return 2
    count = 0
    problems = []
    for path in svg_files(argv[1:]):
        count += 1
        problems.extend(check_file(path))
    for problem in problems:
        print(problem)
    print(f"{count} files, {len(problems)} problems")
    return 1 if problems or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
