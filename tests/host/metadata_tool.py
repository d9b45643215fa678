#!/usr/bin/env python3
"""One table of photographs with unusual or hostile metadata, for both commands' case script.

  metadata_tool.py make DIR                   writes every case's input into DIR, named after it
  metadata_tool.py check DIR OUTS EXT ERR     checks each case's result OUTS/<case>.EXT with
                                              exiftool (valid, and the fields the case expects)
                                              and the warning lines in ERR that name its input;
                                              prints one line per failure

The inputs are built here from their parts (EXIF directories, XMP packets, ICC profiles, JPEG
segments, PNG chunks), so each case says in one row what is wrong with it.
"""
import hashlib
import json
import os
import re
import struct
import subprocess
import sys
import zlib

from format_tool import icc_profile, png

WIDTH, HEIGHT = 32, 24  # as stored; cases turned by their orientation come out 24 x 32

# The struct codes of TIFF's number types (a rational is two of them); ASCII (2) and UNDEFINED
# (7) values are given as text or bytes.
TYPES = {1: "B", 3: "H", 4: "I", 5: "I", 9: "i", 10: "i"}


class Sub:
    """A directory linked from an entry (EXIF, GPS, interoperability)."""

    def __init__(self, *entries):
        self.entries = entries


class MakerIfd(Sub):
    """A maker note that is a directory, its values at offsets from the block's own header."""


class Raw:
    """An entry as given: a count and a 4-byte value field, however wrong."""

    def __init__(self, count, field):
        self.count, self.field = count, field


class Link:
    """An entry pointing at the first directory itself."""


class Block:
    """A TIFF-structured block (an EXIF block, or a TIFF file's directories) in byte order
    ORDER: its first directory at 8, every directory followed by its values."""

    def __init__(self, order="<"):
        self.order = order
        self.out = bytearray((b"II*\x00" if order == "<" else b"MM\x00*") + struct.pack(order + "I", 8))

    def pack(self, fmt, *values):
        return struct.pack(self.order + fmt, *values)

    def values(self, kind, value):
        """An entry's count and value bytes."""
        if isinstance(value, str):
            value = value.encode() + b"\x00"
        if isinstance(value, bytes):
            return len(value), value
        value = value if isinstance(value, list) else [value]
        flat = [v for item in value for v in (item if kind in (5, 10) else [item])]
        return len(value), self.pack("%d%s" % (len(flat), TYPES[kind]), *flat)

    def directory(self, entries):
        """Writes a directory of (tag, type, value) entries and returns its offset."""
        at = len(self.out)
        entries = sorted(entries, key=lambda e: e[0])  # stable: a tag twice keeps its order
        self.out += self.pack("H", len(entries)) + bytes(12 * len(entries) + 4)
        for i, (tag, kind, value) in enumerate(entries):
            if isinstance(value, Raw):
                count, field = value.count, value.field
            elif isinstance(value, Link):
                count, field = 1, self.pack("I", 8)
            elif isinstance(value, MakerIfd):
                start = len(self.out)
                self.directory(value.entries)
                count, field = len(self.out) - start, self.pack("I", start)
            elif isinstance(value, Sub):
                count, field = 1, self.pack("I", self.directory(value.entries))
            else:
                count, data = self.values(kind, value)
                if len(data) <= 4:
                    field = data.ljust(4, b"\x00")
                else:
                    field = self.pack("I", len(self.out))
                    self.out += data + b"\x00" * (len(data) % 2)
            self.out[at + 2 + 12 * i:at + 14 + 12 * i] = self.pack("HHI", tag, kind, count) + field
        return at


def exif(*entries, order="<"):
    block = Block(order)
    block.directory(entries)
    return bytes(block.out)


def camera_entries(orientation=6):
    """A camera's first directory as a validator wants it: maker, model, orientation, resolution
    and date, an EXIF directory (with its required tags, an exposure, a date and the pixel size)
    and a GPS directory."""
    return [(0x010F, 2, "Maker"), (0x0110, 2, "Model 7"), (0x0112, 3, orientation),
            (0x011A, 5, [(300, 1)]), (0x011B, 5, [(300, 1)]), (0x0128, 3, 2),
            (0x0132, 2, "2026:12:09 10:00:00"), (0x0213, 3, 1),
            (0x8769, 4, Sub((0x829A, 5, [(1, 250)]), (0x9000, 7, b"0232"),
                            (0x9003, 2, "2026:12:09 10:00:00"), (0x9101, 7, b"\x01\x02\x03\x00"),
                            (0xA000, 7, b"0100"), (0xA001, 3, 1),
                            (0xA002, 4, WIDTH), (0xA003, 4, HEIGHT))),
            (0x8825, 4, Sub((0x0000, 1, [2, 3, 0, 0]), (0x0001, 2, "N"),
                            (0x0002, 5, [(52, 1), (30, 1), (0, 1)]),
                            (0x001B, 7, b"ASCII\x00\x00\x00GPS")))]


def xmp_packet(orientation=6):
    """A camera's packet: its orientation and the stored size, as attributes and as elements."""
    return ('<?xpacket begin="\ufeff" id="W5M0MpCehiHzreSzNTczkc9d"?>\n'
            '<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF '
            'xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">\n'
            '<rdf:Description rdf:about="" xmlns:tiff="http://ns.adobe.com/tiff/1.0/" '
            'xmlns:exif="http://ns.adobe.com/exif/1.0/" xmlns:dc="http://purl.org/dc/elements/1.1/" '
            'tiff:Orientation="%d" tiff:ImageWidth="%d" tiff:ImageLength="%d">\n'
            '<exif:PixelXDimension>%d</exif:PixelXDimension>'
            '<exif:PixelYDimension>%d</exif:PixelYDimension>\n'
            '</rdf:Description></rdf:RDF></x:xmpmeta>\n<?xpacket end="w"?>'
            % (orientation, WIDTH, HEIGHT, WIDTH, HEIGHT))


def extended_xmp(description):
    """A standard packet naming an extended one, and the extended packet: DESCRIPTION is a long
    dc:description that only the extended packet holds."""
    extended = ('<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF '
                'xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#"><rdf:Description '
                'rdf:about="" xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:description>'
                '<rdf:Alt><rdf:li xml:lang="x-default">%s</rdf:li></rdf:Alt></dc:description>'
                '</rdf:Description></rdf:RDF></x:xmpmeta>' % description).encode()
    guid = hashlib.md5(extended).hexdigest().upper()
    note = ('<rdf:Description rdf:about="" xmlns:xmpNote="http://ns.adobe.com/xmp/note/" '
            'xmpNote:HasExtendedXMP="%s"/>' % guid)
    standard = xmp_packet(1).replace("</rdf:RDF>", note + "</rdf:RDF>")
    return standard, extended, guid


# JPEG segments and PNG chunks.
def segment(marker, payload):
    return bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload


def exif_segment(block):
    return segment(0xE1, b"Exif\x00\x00" + block)


def xmp_segment(packet):
    return segment(0xE1, b"http://ns.adobe.com/xap/1.0/\x00" + packet.encode())


def extended_segments(extended, guid, portion=60000):
    return b"".join(
        segment(0xE1, b"http://ns.adobe.com/xmp/extension/\x00" + guid.encode() +
                struct.pack(">II", len(extended), at) + extended[at:at + portion])
        for at in range(0, len(extended), portion))


def icc_segments(profile, chunks=2, numbers=None):
    """The profile in CHUNKS APP2 segments numbered as NUMBERS says (1..chunks by default)."""
    size = -(-len(profile) // chunks)
    parts = [profile[i * size:(i + 1) * size] for i in range(chunks)]
    numbers = numbers or list(range(1, chunks + 1))
    return b"".join(segment(0xE2, b"ICC_PROFILE\x00" + bytes([n, chunks]) + parts[n - 1])
                    for n in numbers)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def raw_profile(kind, data):
    """ImageMagick's way of keeping a profile in a PNG text chunk: hex, 72 digits a line."""
    digits = data.hex()
    lines = "\n".join(digits[i:i + 72] for i in range(0, len(digits), 72))
    return b"Raw profile type %s\x00\n%s\n%8d\n%s\n" % (kind.encode(), kind.encode(), len(data),
                                                       lines.encode())


# The base pictures, each a gradient of WIDTH x HEIGHT.
def pixels():
    return [[(8 * x, 10 * y, 128) for x in range(WIDTH)] for y in range(HEIGHT)]


def jpeg_file(segments):
    ppm = b"P6 %d %d 255\n" % (WIDTH, HEIGHT) + bytes(v for row in pixels() for p in row for v in p)
    plain = subprocess.run(["cjpeg", "-quality", "95"], input=ppm, capture_output=True,
                           check=True).stdout
    return plain[:2] + segments + plain[2:]


def png_file(path, chunks):
    png(path, WIDTH, HEIGHT, 8, 2, [[v for p in row for v in p] for row in pixels()], chunks)


def tiff_file(entries, order="<"):
    """An uncompressed RGB TIFF whose first directory holds ENTRIES besides its layout."""
    block = Block(order)
    data = bytes(v for row in pixels() for p in row for v in p)
    block.out += data
    layout = [(256, 3, WIDTH), (257, 3, HEIGHT), (258, 3, [8, 8, 8]), (259, 3, 1), (262, 3, 2),
              (273, 4, 8), (277, 3, 3), (278, 3, HEIGHT), (279, 4, len(data))]
    struct.pack_into(order + "I", block.out, 4, len(block.out))
    block.directory(layout + list(entries))
    return bytes(block.out)


PROFILE = icc_profile()
LONG_TEXT = " ".join(["A long description."] * 5000)
STANDARD, EXTENDED, GUID = extended_xmp(LONG_TEXT)
TURNED = {"Composite:ImageSize": "%d %d" % (HEIGHT, WIDTH)}
KEPT = {"IFD0:Make": "Maker", "ExifIFD:ExposureTime": 0.004, "GPS:GPSLatitudeRef": "N"}
EXIF_LEFT_OUT = {"expect": {"IFD0:Make": None, "ExifIFD:ExposureTime": None},
                 "warnings": [": its EXIF block is left out: "]}
ICC_LEFT_OUT = {"expect": {"ICC-header:ProfileClass": None},
                "warnings": [": its ICC profile is left out: "]}


def broken(name, *exif_entries):
    """A camera's JPEG whose EXIF directory holds one more entry, a broken one."""
    entries = camera_entries(1)
    entries[-2] = (0x8769, 4, Sub(*entries[-2][2].entries, *exif_entries))
    return dict(EXIF_LEFT_OUT, name=name, jpg=exif_segment(exif(*entries)))


def owner(note_entry):
    """A camera maker's JPEG whose maker note is a directory holding the owner's name."""
    entries = camera_entries(1)
    entries[0] = (0x010F, 2, "Canon")
    entries[-2] = (0x8769, 4, Sub(*entries[-2][2].entries,
                                  (0x927C, 7, MakerIfd((0x0006, 2, "Test camera image type"),
                                                       note_entry))))
    return exif_segment(exif(*entries))


# The cases: name, the file's container (jpg, png or tif) and what it holds besides the picture,
# what each result must show (exiftool's group:tag with -n; None: absent; a value wanted of a tag
# found twice is wanted of both), the warnings that name its input (each line's text after the
# quoted name, by its start) and exiftool's warnings that the input itself earns ("tolerate").
# Every case runs to every output format; "expect_EXT" adds what only format EXT carries.
CASES = [
    {"name": "camera", "jpg": exif_segment(exif(*camera_entries())) + xmp_segment(xmp_packet())
     + icc_segments(PROFILE),
     "expect": dict(TURNED, **KEPT, **{
         "IFD0:Orientation": 1, "ExifIFD:ExifImageWidth": HEIGHT, "XMP-tiff:Orientation": 1,
         "XMP-tiff:ImageWidth": HEIGHT, "XMP-tiff:ImageHeight": WIDTH,
         "XMP-exif:ExifImageWidth": HEIGHT, "XMP-exif:ExifImageHeight": WIDTH,
         "ICC-header:ProfileClass": "mntr"}),
     "expect_tif": {"IFD0:XResolution": 300, "IFD0:ResolutionUnit": 2}},
    {"name": "orientation_twice",
     "jpg": exif_segment(exif(*camera_entries(6), (0x0112, 3, 3), order=">")),
     "expect": dict(TURNED, **{"IFD0:Orientation": 1}),
     "tolerate": ["Duplicate tag 0x0112", "Entries in IFD0 are out of order"]},
    broken("count_2g", (0x9286, 7, Raw(0x80000000, struct.pack("<I", 40)))),
    broken("count_overflow", (0x9204, 10, Raw(0x20000001, struct.pack("<I", 40)))),
    broken("offset_outside", (0x9286, 7, Raw(100, struct.pack("<I", 0x7FFF0000)))),
    dict(EXIF_LEFT_OUT, name="pointer_back",
         jpg=exif_segment(exif(*camera_entries(1)[:-1], (0x8825, 4, Link())))),
    broken("maker_note_outside", (0x927C, 7, Raw(64, struct.pack("<I", 0x00FFFFFF)))),
    broken("type_unknown", (0x9286, 99, Raw(4, b"abcd"))),
    dict(EXIF_LEFT_OUT, name="maker_note_values_outside",
         jpg=owner((0x0009, 2, Raw(32, struct.pack("<I", 0x00FFFFF0))))),
    {"name": "maker_note", "jpg": owner((0x0009, 2, "Jane Q. Example")),
     "expect": {"Canon:OwnerName": "Jane Q. Example"}},
    {"name": "tiff_tags", "tif": [e for e in camera_entries(1)],
     "expect": dict(KEPT, **{"IFD0:Model": "Model 7", "ExifIFD:DateTimeOriginal":
                             "2026:12:09 10:00:00"}),
     "expect_tif": {"IFD0:XResolution": 300}},
    {"name": "plain", "png": b"", "expect_tif": {"IFD0:XResolution": 72,
                                                 "IFD0:ResolutionUnit": 2}},
    {"name": "png_raw_exif",
     "png": chunk(b"tEXt", raw_profile("exif", b"Exif\x00\x00" + exif(*camera_entries(1)))),
     "expect": KEPT},
    {"name": "xmp_extended", "jpg": xmp_segment(STANDARD) + extended_segments(EXTENDED, GUID),
     "expect": {"XMP-dc:Description": LONG_TEXT},
     "expect_png": {"XMP-xmpNote:HasExtendedXMP": None},
     "expect_tif": {"XMP-xmpNote:HasExtendedXMP": None}},
    dict(ICC_LEFT_OUT, name="icc_chunk_missing", jpg=icc_segments(PROFILE, 2, [1])),
    dict(ICC_LEFT_OUT, name="icc_chunk_twice", jpg=icc_segments(PROFILE, 2, [1, 2, 2])),
    dict(ICC_LEFT_OUT, name="icc_length_wrong",
         jpg=icc_segments(struct.pack(">I", 999) + PROFILE[4:], 1)),
    {"name": "png_raw_app1_compressed",
     "png": chunk(b"zTXt", b"Raw profile type APP1\x00\x00" + zlib.compress(
         raw_profile("APP1", b"Exif\x00\x00" + exif(*camera_entries(1))).split(b"\x00", 1)[1])),
     "expect": KEPT},
    {"name": "xmp_extended_damaged",
     "jpg": xmp_segment(STANDARD) + extended_segments(EXTENDED.replace(b"long", b"LONG"), GUID),
     "expect": {"XMP-dc:Description": None, "XMP-xmpNote:HasExtendedXMP": None,
                "XMP-tiff:Orientation": 1},
     "warnings": [": its extended XMP is left out: "]},
    dict(ICC_LEFT_OUT, name="icc_length_wrong_png",
         png=chunk(b"iCCP", b"ICC Profile\x00\x00" +
                   zlib.compress(struct.pack(">I", 999) + PROFILE[4:]))),
    dict(ICC_LEFT_OUT, name="icc_length_wrong_tif",
         tif=[(0x8773, 7, struct.pack(">I", 999) + PROFILE[4:])]),
]


def make(folder):
    os.makedirs(folder, exist_ok=True)
    for case in CASES:
        for ext in ("jpg", "png", "tif"):
            if ext not in case:
                continue
            path = os.path.join(folder, "%s.%s" % (case["name"], ext))
            if ext == "jpg":
                open(path, "wb").write(jpeg_file(case[ext]))
            elif ext == "png":
                png_file(path, case[ext])
            else:
                open(path, "wb").write(tiff_file(case[ext]))


def read_tags(paths):
    """exiftool's tags of each file, by file name; a tag it finds more than once as a list."""
    result = subprocess.run(["exiftool", "-j", "-a", "-G1:4", "-n", "-api", "validate=1"] + paths,
                            capture_output=True, text=True)
    files = {}
    for found in json.loads(result.stdout or "[]"):
        tags = {}
        for key, value in found.items():
            key = re.sub(r":Copy\d+:", ":", key)
            tags[key] = tags[key] + [value] if isinstance(tags.get(key), list) else (
                [tags[key], value] if key in tags else value)
        files[os.path.basename(found["SourceFile"])] = tags
    return files


def problems(tags):
    """exiftool's validation errors and warnings, [minor] ones aside."""
    found = [tags.get(k) for k in ("ExifTool:Error", "ExifTool:Warning") if k in tags]
    flat = [w for item in found for w in (item if isinstance(item, list) else [item])]
    return [w for w in flat if not str(w).startswith("[minor]")]


def same(got, wanted):
    """Equal, a number to the precision of a single float (as libtiff keeps a rational)."""
    if isinstance(got, (int, float)) and isinstance(wanted, (int, float)):
        return abs(got - wanted) <= 1e-6 * abs(wanted)
    return got == wanted


def check(folder, outs, ext, errors):
    lines = open(errors, encoding="utf-8", errors="replace").read().splitlines()
    paths = [os.path.join(outs, "%s.%s" % (case["name"], ext)) for case in CASES]
    tags = read_tags([p for p in paths if os.path.exists(p)])
    for case in CASES:
        name = case["name"]
        source = [f for f in os.listdir(folder) if f.startswith(name + ".")][0]
        found = tags.get("%s.%s" % (name, ext))
        failures = {}
        if found is None:
            failures["written"] = "no result"
        else:
            tolerated = [w for w in problems(found)
                         if not any(t in str(w) for t in case.get("tolerate", []))]
            if tolerated:
                failures["valid"] = "; ".join(map(str, tolerated))
            for key, wanted in dict(case.get("expect", {}), **case.get("expect_" + ext, {})).items():
                got = found.get(key)
                if not all(same(g, wanted) for g in (got if isinstance(got, list) else [got])):
                    failures[key] = "%r, not %r" % (got, wanted)
        quoted = '"%s"' % os.path.join(folder, source)
        named = sorted(line.split(quoted, 1)[1] for line in lines if quoted in line)
        wanted = sorted(case.get("warnings", []))
        if len(named) != len(wanted) or not all(n.startswith(w) for n, w in zip(named, wanted)):
            failures["warnings"] = "%r, not %r" % (named, case.get("warnings", []))
        for key, text in sorted(failures.items()):
            print("%s to %s: %s: %s" % (name, ext, key, text))


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2])
    else:
        check(*sys.argv[2:6])
