#!/usr/bin/env python3
"""Packs the release: dist/trapezoid-VERSION-win32.zip and dist/SHA256SUMS, from the built
trapezoid.dll and kvhost.exe, the user's readmes (UTF-8 with a byte-order mark and CRLF line
ends, for Notepad), the licence and the notices of everything the link maps show linked in. The
archive is the same, byte for byte, wherever and whenever it is made from the same commit: its
time is the commit's, its entries sorted, no extra fields.

  dist.py BUILD_DIR LIBJPEG_PREFIX OUT_DIR COMMIT_TIME

The licences of zlib, libpng and libtiff come from their build beside libjpeg-turbo's
(build/image-libs/licences, written by scripts/build_image_libs.sh).
"""
import hashlib
import os
import re
import sys
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# What the link maps may name, and the notice it needs; None: the project's own, or a system
# import library of Windows (mingw-w64's).
ARCHIVES = {
    "libjpeg.a": "libjpeg-turbo", "libz.a": "zlib", "libpng.a": "libpng", "libtiff.a": "libtiff",
    "libstdc++.a": "gcc", "libgcc.a": "gcc", "libgcc_eh.a": "gcc",
    "libmingw32.a": "mingw-w64", "libmingwex.a": "mingw-w64", "libmsvcrt.a": "mingw-w64",
    "libkernel32.a": "mingw-w64", "libuser32.a": "mingw-w64", "libgdi32.a": "mingw-w64",
    "libole32.a": "mingw-w64", "liboleaut32.a": "mingw-w64", "libshell32.a": "mingw-w64",
    "libcomctl32.a": "mingw-w64", "libwindowscodecs.a": "mingw-w64", "libadvapi32.a": "mingw-w64",
    "objects.a": None, "libtransform_core.a": None, "libselection_core.a": None,
    "libsettings_core.a": None, "libsettings_win32.a": None, "libui_core.a": None,
    "libui_win32.a": None, "libplugin_core.a": None, "libplugin_win32.a": None,
    "libplatform_win32.a": None, "libimageio_core.a": None, "libhost_files.a": None,
    "libcommand_line.a": None, "libimageio.a": None,
}
# Header-only libraries compiled into the binaries, which no map names.
HEADER_LIBRARIES = {"kvhost.exe": ["cxxopts"]}


def linked_components(build, binary):
    """The components the link map of BINARY shows linked in; fails on an archive not known."""
    text = open(os.path.join(build, binary + ".map"), encoding="latin-1").read()
    archives = set(re.findall(r"([^\s/()\\\\]+\.a)\(", text))
    unknown = sorted(archives - ARCHIVES.keys())
    if unknown:
        sys.exit("dist: %s links %s, which the notices do not cover" % (binary, ", ".join(unknown)))
    return {ARCHIVES[a] for a in archives if ARCHIVES[a]} | set(HEADER_LIBRARIES.get(binary, []))


def between(path, start, end):
    """The lines of PATH from the one that is START (or starts so, for START ending in "...") to
    the one starting with END."""
    lines = open(path, encoding="utf-8").read().splitlines()
    first = next(i for i, line in enumerate(lines)
                 if line == start or (start.endswith("...") and line.startswith(start[:-3])))
    last = next(i for i, line in enumerate(lines) if i > first and line.startswith(end))
    return "\n".join(lines[first:last + 1])


def notice(component, libjpeg):
    doc = "/usr/share/doc/"
    if component == "libjpeg-turbo":
        return (open(os.path.join(libjpeg, "LICENSE.md"), encoding="utf-8").read() + "\n\n" +
                between(os.path.join(libjpeg, "README.ijg"), "LEGAL ISSUES", "assumed by the"))
    if component in ("zlib", "libpng", "libtiff"):
        licences = os.path.join(os.path.dirname(libjpeg), "image-libs", "licences")
        return open(os.path.join(licences, component + ".txt"), encoding="utf-8").read()
    if component == "gcc":
        path = doc + "gcc-mingw-w64-base/copyright"
        return (between(path, "GCC is Copyright...", " - libvtv") + "\n\n" +
                between(path, "GCC RUNTIME LIBRARY EXCEPTION", "requirements of the license of GCC."))
    if component == "mingw-w64":
        return open(doc + "mingw-w64-common/copyright", encoding="utf-8").read()
    if component == "cxxopts":
        return open(doc + "libcxxopts-dev/copyright", encoding="utf-8").read()
    raise KeyError(component)


TITLES = {
    "libjpeg-turbo": "libjpeg-turbo 2.1.5 (JPEG codec of kvhost.exe): the IJG License, the "
                     "Modified (3-clause) BSD License and the zlib License",
    "zlib": "zlib 1.2.13 (compression of kvhost.exe's PNG and TIFF files): the zlib License",
    "libpng": "libpng 1.6.39 (PNG codec of kvhost.exe): the PNG Reference Library License, "
              "versions 2 and 1",
    "libtiff": "libtiff 4.5.0 (TIFF codec of kvhost.exe): the libtiff License",
    "gcc": "The GCC runtime (libstdc++, libgcc) of both binaries: GPL v3 with the GCC Runtime "
           "Library Exception 3.1",
    "mingw-w64": "The mingw-w64 runtime and Windows import libraries of both binaries",
    "cxxopts": "cxxopts (command line of kvhost.exe): the MIT License",
}


def notices(build, libjpeg):
    components = linked_components(build, "trapezoid.dll") | linked_components(build, "kvhost.exe")
    order = [c for c in TITLES if c in components]
    text = ("Third-party notices\n===================\n\ntrapezoid.dll and kvhost.exe contain "
            "parts of the following projects, under these licences.\n")
    for component in order:
        title = TITLES[component]
        text += "\n\n%s\n%s\n\n%s\n" % (title, "-" * len(title), notice(component, libjpeg).strip())
    return text


def for_notepad(text):
    """UTF-8 with a byte-order mark and CRLF line ends."""
    return b"\xef\xbb\xbf" + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


def main(build, libjpeg, out, commit_time):
    version = open(os.path.join(ROOT, "VERSION")).read().strip()
    name = "trapezoid-%s-win32" % version
    readme = lambda file: open(os.path.join(ROOT, "release", file), encoding="utf-8").read() \
        .replace("@VERSION@", version)
    files = {
        "trapezoid.dll": open(os.path.join(build, "trapezoid.dll"), "rb").read(),
        "kvhost.exe": open(os.path.join(build, "kvhost.exe"), "rb").read(),
        "README.txt": for_notepad(readme("README.txt")),
        "README-ja.txt": for_notepad(readme("README-ja.txt")),
        "LICENSE.txt": for_notepad(open(os.path.join(ROOT, "LICENSE"), encoding="utf-8").read()),
        "THIRD-PARTY-NOTICES.txt": for_notepad(notices(build, libjpeg)),
    }
    stamp = time.gmtime(max(int(commit_time), 315532800))[:6]  # zip times start in 1980
    os.makedirs(out, exist_ok=True)
    archive = os.path.join(out, name + ".zip")
    with zipfile.ZipFile(archive + ".tmp", "w") as z:
        folder = zipfile.ZipInfo(name + "/", stamp)
        folder.external_attr = 0o40755 << 16 | 0x10
        z.writestr(folder, b"")
        for file in sorted(files):
            info = zipfile.ZipInfo(name + "/" + file, stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o100644 << 16
            info.create_system = 3
            z.writestr(info, files[file], compresslevel=9)
    os.replace(archive + ".tmp", archive)
    digest = hashlib.sha256(open(archive, "rb").read()).hexdigest()
    with open(os.path.join(out, "SHA256SUMS"), "w") as sums:
        sums.write("%s  %s\n" % (digest, name + ".zip"))
    print("dist: %s (%d bytes, sha256 %s)" % (archive, os.path.getsize(archive), digest))


if __name__ == "__main__":
    main(*sys.argv[1:])
