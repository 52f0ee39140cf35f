#!/usr/bin/env python3
"""Gathers the licence text that is compiled into LumoVox.

Every shared object the program can load is found with ldd (the executables, the
GStreamer plugins that play WAV, MP3 and M4A, the Qt plugins of a desktop session), mapped
to its Debian package with dpkg -S, and that package's /usr/share/doc/<package>/copyright
is copied verbatim. Packages built from one source make one section, headed by the
project's name, the licences it grants under and its packages (a file several projects
share is printed once, the others refer to it). The program's own licence opens the text;
the common licences that copyright files refer to follow at the end, once each.

Usage (the build runs it; see app/CMakeLists.txt):
  gather_licenses.py --output FILE --own-license LICENSE --executable PROGRAM...
                     [--gst-plugin-dir DIR] [--qt-plugin-dir DIR] [--package NAME...]
"""
import argparse
import concurrent.futures
import os
import re
import subprocess
import sys

COMMON_LICENSES = "/usr/share/common-licenses"
DOC_ROOT = "/usr/share/doc"

# The plugins playbin loads for our formats. The set was taken from the objects a playback
# of WAV, MP3 and M4A clips maps (LD_DEBUG=files); alternatives that win on other machines
# when a plugin is missing or ranked differently (mpg123, faad, fdkaac) are listed too, and
# every audio sink autoaudiosink tries, because it loads each one while looking for a
# device. Plugins that are not installed are skipped.
GST_PLUGINS = [
    # pipeline, type finding, conversion
    "coreelements", "playback", "typefindfunctions", "autodetect", "audioconvert",
    "audioresample", "volume",
    # WAV
    "wavparse",
    # MP3
    "audioparsers", "id3demux", "apetag", "mpg123", "libav",
    # M4A
    "isomp4", "faad", "fdkaac",
    # outputs
    "pulseaudio", "alsa", "jack", "openal", "oss4", "ossaudio", "pipewire",
]

# The Qt plugin folders a widgets program loads from in a desktop session. Platform back
# ends for embedded screens (eglfs, linuxfb, vnc, ...) and folders of modules we do not
# link (tls, sqldrivers, printsupport, networkinformation) are left out.
QT_PLUGIN_FOLDERS = [
    "platforminputcontexts", "xcbglintegrations", "imageformats", "iconengines",
    "platformthemes", "wayland-shell-integration", "wayland-decoration-client",
    "wayland-graphics-integration-client",
]
QT_PLATFORMS = ["libqxcb.so", "libqoffscreen.so", "libqminimal.so", "libqwayland-generic.so",
                "libqwayland-egl.so", "libqwayland-xcomposite-egl.so",
                "libqwayland-xcomposite-glx.so"]

# Libraries opened by name at run time, so no ldd listing shows them: the xcb platform
# opens Xcursor for themed cursors, the program OpenSSL, and the media layer
# GStreamer and GObject (with libffi under it) once the window is up.
DLOPENED = ["libXcursor.so.1", "libssl.so.3", "libcrypto.so.3", "libgstreamer-1.0.so.0",
            "libgstapp-1.0.so.0", "libgstaudio-1.0.so.0", "libgobject-2.0.so.0", "libffi.so.8"]

# Readable names for the libraries a reader looks for; the others take the upstream name
# from their machine-readable copyright file.
NAMES = {
    "libqt6core6": "Qt 6 Core",
    "libqt6gui6": "Qt 6 GUI",
    "libqt6widgets6": "Qt 6 Widgets",
    "libqt6dbus6": "Qt 6 D-Bus",
    "libqt6opengl6": "Qt 6 OpenGL",
    "libqt6xcbqpa6": "Qt 6 XCB platform",
    "libqt6waylandclient6": "Qt 6 Wayland client",
    "libqt6svg6": "Qt 6 SVG",
    "qt6-qpa-plugins": "Qt 6 platform plugins",
    "qt6-gtk-platformtheme": "Qt 6 GTK platform theme",
    "qt6-image-formats-plugins": "Qt 6 image format plugins",
    "qt6-wayland": "Qt 6 Wayland plugins",
    "libgstreamer1.0-0": "GStreamer",
    "libgstreamer-plugins-base1.0-0": "GStreamer base libraries",
    "libgstreamer-plugins-bad1.0-0": "GStreamer bad libraries",
    "gstreamer1.0-plugins-base": "GStreamer base plugins",
    "gstreamer1.0-plugins-good": "GStreamer good plugins",
    "gstreamer1.0-plugins-bad": "GStreamer bad plugins",
    "gstreamer1.0-plugins-ugly": "GStreamer ugly plugins",
    "gstreamer1.0-libav": "GStreamer libav plugin",
    "gstreamer1.0-pulseaudio": "GStreamer PulseAudio plugin",
    "gstreamer1.0-alsa": "GStreamer ALSA plugin",
    "gstreamer1.0-pipewire": "GStreamer PipeWire plugin",
    "rapidjson-dev": "RapidJSON",
    "libtinyxml2-dev": "TinyXML-2 (headers)",
    "libtinyxml2-9": "TinyXML-2",
    "libpng16-16": "libpng",
    "zlib1g": "zlib",
    "libxxhash0": "xxHash",
    "libxxhash-dev": "xxHash (headers)",
    "libssl3": "OpenSSL",
    "libc6": "GNU C Library",
    "libstdc++6": "GNU C++ Library",
    "libgcc-s1": "GCC support library",
    "libasan8": "AddressSanitizer runtime",
    "libubsan1": "UndefinedBehaviorSanitizer runtime",
    "libtsan2": "ThreadSanitizer runtime",
    "libglib2.0-0": "GLib",
    "libpulse0": "PulseAudio client library",
    "libavcodec59": "FFmpeg libavcodec",
    "libavformat59": "FFmpeg libavformat",
    "libavutil57": "FFmpeg libavutil",
}

# Readable names for projects whose packages share a section.
SOURCE_NAMES = {
    "qt6-base": "Qt 6",
    "qt6-svg": "Qt 6 SVG",
    "qt6-wayland": "Qt 6 Wayland",
    "qt6-imageformats": "Qt 6 image format plugins",
    "gstreamer1.0": "GStreamer",
    "gst-plugins-base1.0": "GStreamer base plugins and libraries",
    "gst-plugins-good1.0": "GStreamer good plugins",
    "gst-plugins-bad1.0": "GStreamer bad plugins and libraries",
    "gst-plugins-ugly1.0": "GStreamer ugly plugins",
    "gst-libav1.0": "GStreamer libav plugin",
    "gcc-12": "GCC runtime libraries",
    "ffmpeg": "FFmpeg",
    "glibc": "GNU C Library",
    "glib2.0": "GLib",
    "pulseaudio": "PulseAudio client library",
    "tinyxml2": "TinyXML-2",
    "xxhash": "xxHash",
    "libpng1.6": "libpng",
    "zlib": "zlib",
}


def fail(message):
    sys.exit(f"gather_licenses.py: {message}")


def run(command):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            env=dict(os.environ, LC_ALL="C"))
    return result.returncode, result.stdout.decode("utf-8", "replace")


def ldd_closure(path):
    """Every shared object path ldd lists for path (the loader included)."""
    code, out = run(["ldd", path])
    if code != 0:
        fail(f"ldd {path} failed:\n{out}")
    found = []
    for line in out.splitlines():
        line = line.strip()
        if "=> not found" in line:
            fail(f"ldd {path}: {line}")
        if "=>" in line:
            target = line.split("=>", 1)[1].strip().split(" (", 1)[0].strip()
        else:
            target = line.split(" (", 1)[0].strip()
        if target.startswith("/"):
            found.append(target)
    return found


def gst_plugin_files(folder):
    files = []
    for name in GST_PLUGINS:
        path = os.path.join(folder, f"libgst{name}.so")
        if os.path.exists(path):
            files.append(path)
    if not any(p.endswith("libgstplayback.so") for p in files):
        fail(f"no playback plugin in {folder}")
    return files


def qt_plugin_files(folder):
    files = []
    for name in QT_PLATFORMS:
        path = os.path.join(folder, "platforms", name)
        if os.path.exists(path):
            files.append(path)
    for sub in QT_PLUGIN_FOLDERS:
        directory = os.path.join(folder, sub)
        if os.path.isdir(directory):
            files += [os.path.join(directory, n) for n in sorted(os.listdir(directory))
                      if n.endswith(".so")]
    if not any(p.endswith("libqxcb.so") or p.endswith("libqoffscreen.so") for p in files):
        fail(f"no platform plugin in {folder}/platforms")
    return files


def dlopened_files(loaded):
    """DLOPENED, looked up in the folders the linked libraries came from, which are the
    folders of the right architecture."""
    folders = sorted({os.path.dirname(p) for p in loaded})
    files = []
    for soname in DLOPENED:
        path = next((os.path.join(f, soname) for f in folders
                     if os.path.exists(os.path.join(f, soname))), None)
        if path:
            files.append(path)
    return files


def path_variants(path):
    """The names dpkg may know a file by: merged /usr makes /lib and /usr/lib one folder,
    and ldd reports symbolic links where packages may list only the target, or the other
    way round."""
    variants = []
    for candidate in (path, os.path.realpath(path)):
        for form in (candidate, candidate[4:] if candidate.startswith("/usr/") else
                     "/usr" + candidate):
            if form not in variants:
                variants.append(form)
    return variants


def packages_of(paths):
    """Maps every path to the package that installed it."""
    queries = sorted({v for p in paths for v in path_variants(p)})
    owner = {}
    for start in range(0, len(queries), 200):
        # dpkg exits with 1 when one of the names is unknown; the known ones still print.
        _, out = run(["dpkg", "-S"] + queries[start:start + 200])
        for line in out.splitlines():
            if line.startswith("diversion by") or ": " not in line:
                continue
            packages, path = line.split(": ", 1)
            package = packages.split(", ")[0].split(":")[0]
            owner.setdefault(path, package)
    result = {}
    for path in paths:
        package = next((owner[v] for v in path_variants(path) if v in owner), None)
        if package is None:
            fail(f"no Debian package owns {path}")
        result[path] = package
    return result


def read_text(path):
    with open(path, "rb") as f:
        data = f.read()
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError:
        text = data.decode("latin-1")
    return text.replace("\r\n", "\n").replace("\0", "")


def copyright_of(package):
    path = os.path.join(DOC_ROOT, package, "copyright")
    if not os.path.isfile(path):
        fail(f"{package} has no {path}")
    return read_text(path)


def upstream_name(text):
    header = text.split("\n\n", 1)[0]
    if not header.startswith("Format:"):
        return None
    match = re.search(r"^Upstream-Name:\s*(.+)$", header, re.MULTILINE)
    return match.group(1).strip() if match else None


def source_names(packages):
    _, out = run(["dpkg-query", "-W", "-f=${Package}\t${source:Package}\n"] + sorted(packages))
    names = {}
    for line in out.splitlines():
        parts = line.split("\t")
        if len(parts) == 2:
            names[parts[0]] = parts[1]
    return names


def common_license_file(name):
    """The real file name of a common licence as a copyright file names it, where sentence
    ends, "+" (or later) and "GPL-2.0" for GPL-2 are common; None when there is none."""
    name = name.rstrip(".+_-")
    for candidate in (name, name[:-2] if name.endswith(".0") else ""):
        path = os.path.join(COMMON_LICENSES, candidate)
        if candidate and os.path.isfile(path):
            return os.path.basename(os.path.realpath(path))
    return None


def common_licenses_in(package, text):
    """The common licence files a copyright text refers to, in the order it names them."""
    found = []
    for match in re.finditer(re.escape(COMMON_LICENSES) + r"/([A-Za-z0-9.+_-]+)", text):
        name = common_license_file(match.group(1))
        if name is None:
            print(f"gather_licenses.py: warning: {package} names {match.group(0)}, which "
                  "does not exist", file=sys.stderr)
        elif name not in found:
            found.append(name)
    return found


def licence_names(text, common):
    """The licences a copyright text grants under, most used first: the License fields of
    its Files paragraphs (the packaging's own left out; expressions split into their
    licences), else the common licences it refers to, else a guess from well-known
    wordings."""
    counts = {}
    for paragraph in re.split(r"\n\s*\n", text):
        files = re.search(r"^Files:\s*(.*)$", paragraph, re.MULTILINE)
        licence = re.search(r"^License:[ \t]*(\S.*)$", paragraph, re.MULTILINE)
        if not files or not licence or files.group(1).strip().startswith("debian/"):
            continue
        expression = re.sub(r"\s+with\s+.*?exception", "", licence.group(1).strip(),
                            flags=re.IGNORECASE)
        expression = re.sub(r"\s*\([^)]*\)", "", expression)  # "BSD (3 clause)": a remark
        for name in re.split(r",\s*(?:and\s+|or\s+)?|\s+and\s+|\s+or\s+|\s*/\s*", expression):
            name = name.strip()
            if not name:
                continue
            key = name.casefold()
            entry = counts.setdefault(key, [name, 0, files.group(1).strip() == "*"])
            entry[1] += 1
    if counts:
        ordered = sorted(counts.values(), key=lambda e: (not e[2], -e[1], e[0].casefold()))
        return [entry[0] for entry in ordered]
    if common:
        return list(common)
    if "Permission is hereby granted, free of charge" in text:
        return ["MIT"]
    if "Redistribution and use in source and binary forms" in text:
        return ["BSD"]
    return []


def licence_heading(names):
    if not names:
        return "as stated below"
    shown = ", ".join(names[:4])
    return shown + (f" and {len(names) - 4} more" if len(names) > 4 else "")


def build_text(own_license, packages):
    texts = {p: copyright_of(p) for p in packages}
    sources = source_names(packages)
    # One section per project: the binary packages built from one source share it.
    projects = {}
    for package in packages:
        projects.setdefault(sources.get(package) or package, []).append(package)
    names = {}
    for source, members in projects.items():
        members.sort()
        named = SOURCE_NAMES.get(source) or (NAMES.get(members[0]) if len(members) == 1
                                             else None)
        upstream = next((upstream_name(texts[p]) for p in members if upstream_name(texts[p])),
                        None)
        names[source] = named or upstream or source
    counts = {}
    for name in names.values():
        counts[name] = counts.get(name, 0) + 1
    names = {s: (n if counts[n] == 1 else f"{n} ({s})") for s, n in names.items()}

    parts = ["[LumoVox]\nLicense: MIT\n\n" + read_text(own_license).rstrip("\n") + "\n"]
    first_with = {}  # copyright text -> the section that printed it
    referred = []
    for source in sorted(projects, key=lambda s: (names[s].casefold(), s)):
        members = projects[source]
        bodies = []
        for package in members:
            body = texts[package].rstrip("\n")
            if body not in bodies:
                bodies.append(body)
        licences = []
        common = []
        for body in bodies:
            found = common_licenses_in(source, body)
            common += [n for n in found if n not in common]
            licences += [n for n in licence_names(body, found)
                         if n.casefold() not in (l.casefold() for l in licences)]
        label = "Debian package" if len(members) == 1 else "Debian packages"
        section = (f"[{names[source]}]\nLicense: {licence_heading(licences)}\n"
                   f"{label}: {', '.join(members)}\n")
        for body in bodies:
            if body in first_with:
                # Projects that ship one copyright file between them print it once.
                section += (f"\nThe copyright file is the same as that printed above under "
                            f"[{first_with[body]}].\n")
                continue
            first_with[body] = names[source]
            section += "\n" + body + "\n"
        if common:
            titles = ", ".join(f"[Common licence {n}]" for n in common)
            section += (f"\nThe full texts of the common licences named above follow at the "
                        f"end of this text: {titles}.\n")
        referred += [n for n in common if n not in referred]
        parts.append(section)
    for name in sorted(referred):
        path = os.path.join(COMMON_LICENSES, name)
        parts.append(f"[Common licence {name}]\n{path}\n\n{read_text(path).rstrip()}\n")
    return "\n".join(parts)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--output", required=True)
    parser.add_argument("--own-license", required=True)
    parser.add_argument("--executable", action="append", default=[])
    parser.add_argument("--gst-plugin-dir")
    parser.add_argument("--qt-plugin-dir")
    parser.add_argument("--package", action="append", default=[],
                        help="a package used at compile time only (header libraries)")
    parser.add_argument("--list", action="store_true",
                        help="print each shared object and its package instead of writing")
    args = parser.parse_args()

    roots = []
    if args.gst_plugin_dir:
        roots += gst_plugin_files(args.gst_plugin_dir)
    if args.qt_plugin_dir:
        roots += qt_plugin_files(args.qt_plugin_dir)
    objects = set(roots)
    # ldd of the libav plugin alone takes a second; the listings do not depend on each other.
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 1) as pool:
        for listing in pool.map(ldd_closure, args.executable + roots):
            objects.update(listing)
    for path in dlopened_files(objects):
        objects.add(path)
        objects.update(ldd_closure(path))
    owners = packages_of(sorted(objects))
    if args.list:
        for path in sorted(owners):
            print(f"{owners[path]}\t{path}")
        return
    packages = set(owners.values()) | set(args.package)
    text = build_text(args.own_license, packages)

    # Left untouched when nothing changed, so the build does not recompile the text.
    data = text.encode("utf-8")
    try:
        with open(args.output, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    temporary = args.output + ".tmp"
    with open(temporary, "wb") as f:
        f.write(data)
    os.replace(temporary, args.output)


if __name__ == "__main__":
    main()
