#!/usr/bin/env python3
"""Image files of the kvhost format tests, made with the standard library.

  format_tool.py make KIND OUT        writes a small image of KIND and prints, one line per row,
                                      the 8-bit RRGGBBAA pixels a reader should get from it:
                                      png16 (RGBA), png16grey, greyalpha, palette (with tRNS),
                                      tiff16 (RGB), tiff16grey, tiff8 (RGBA), each TIFF also
                                      big-endian with "be" added (tiff16be); tiff8pages, three
                                      pages of tiff8; tiff8jpeg, RGB compressed with JPEG
  format_tool.py unreadable           the kinds of file kvhost cannot read, for the next form
  format_tool.py unreadable KIND OUT  writes a file of that kind and prints the reason kvhost
                                      must give for it
  format_tool.py marked OUT.ppm W H   a grey picture with a red mark in its top-left corner
  format_tool.py corner FILE          where its mark shows (TL, TR, BL, BR) and its size
  format_tool.py icc OUT              a minimal ICC profile
  format_tool.py big OUT W H          a large RGB PNG, written row by row
  format_tool.py huge OUT W H         a PNG whose header claims W x H, with almost no data
  format_tool.py error A.png B.png    mean absolute difference of the RGB channels of two PNGs
  format_tool.py peak FILE CMD...     runs CMD, writes its peak resident memory in MiB to FILE,
                                      exits with CMD's exit code
"""
import os
import struct
import subprocess
import sys
import zlib

from png_tool import read_png

WIDTH, HEIGHT = 7, 3


def sample16(x, y, c):
    """Scattered 16-bit values: about half of them round up where a cut would go down."""
    return (x * 7919 + y * 104729 + c * 3001 + 255) % 65536


def to8(value):
    return int(value * 255 / 65535 + 0.5)


def png(path, width, height, depth, colour_type, rows, extra=b""):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra +
                  chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def tiff(path, width, height, depth, samples, order="<", pages=1, changes=(), strip=None):
    """Uncompressed RGB(A) or grey TIFF, one strip a page, little-endian ("<") or big-endian
    (">"); samples: rows of channel values, the same on every page. changes: (tag, value) pairs
    that replace or add short values, to describe a kind of file the data does not match.
    strip: the page's data as stored, compressed as changes say, instead of the samples'."""
    channels = len(samples[0][0])
    fmt = "%s%d%s" % (order, width * channels, "H" if depth == 16 else "B")
    data = strip if strip is not None else b"".join(
        struct.pack(fmt, *[v for pixel in row for v in pixel]) for row in samples)
    data += b"\x00" * (len(data) % 2)  # the values that follow start on a word
    out = bytearray((b"II*\x00" if order == "<" else b"MM\x00*") + b"\x00" * 4)
    link_at = 4  # where the offset of the next directory goes
    for _ in range(pages):
        data_at = len(out)
        bits_at = data_at + len(data)
        out += data + struct.pack("%s%dH" % (order, channels), *[depth] * channels)
        tags = [(256, 3, 1, width), (257, 3, 1, height),
                (258, 3, channels, bits_at if channels > 1 else depth),
                (259, 3, 1, 1), (262, 3, 1, 2 if channels >= 3 else 1), (273, 4, 1, data_at),
                (277, 3, 1, channels), (278, 3, 1, height), (279, 4, 1, len(data)),
                (284, 3, 1, 1)]
        if channels == 4:
            tags.append((338, 3, 1, 2))  # unassociated alpha
        for tag, value in changes:
            tags = [t for t in tags if t[0] != tag] + [(tag, 3, 1, value)]
        tags.sort()
        struct.pack_into(order + "I", out, link_at, len(out))
        out += struct.pack(order + "H", len(tags)) + b"".join(
            struct.pack(order + "HHII", tag, kind, count, value) if kind == 4 or count > 1 else
            struct.pack(order + "HHIHH", tag, kind, count, value, 0)
            for tag, kind, count, value in tags)
        link_at = len(out)
        out += b"\x00" * 4
    with open(path, "wb") as f:
        f.write(bytes(out))


# Files kvhost cannot read, each for its own reason: the kind and what kvhost must say of it,
# "{}" standing for the file's name.
UNREADABLE = {
    "short": 'cannot read "{}": the file is too short to be an image (2 bytes)',
    "badpng": 'cannot read "{}": the PNG file is damaged or cut short',
    "tiffzstd": 'cannot read "{}": a TIFF compressed with ZSTD is not supported',
    # Compression 7 over data that is no JPEG: libtiff's JPEG codec finds it damaged.
    "tiffjpeg": 'cannot read "{}": the TIFF file is damaged or cut short',
    "tiff12": 'cannot read "{}": a 12-bit TIFF is not supported',
    "tifffloat": 'cannot read "{}": a TIFF of floating-point samples is not supported',
    "cuttiff": 'cannot read "{}": the TIFF file is damaged or cut short',
    "cutbmp": 'cannot read "{}": the BMP file is damaged or cut short',
    "bmpw0": '"{}" is 0 \u00d7 23: not a size an image can have',
    "bmpneg": '"{}" is -37 \u00d7 23: not a size an image can have',
}


def bmp(path, width, height, cut=None):
    """A 24-bit BMP whose header says WIDTH x HEIGHT, with rows for |width| x |height|."""
    row = (abs(width) * 3 + 3) // 4 * 4
    data = bytes(row * abs(height))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    out = b"BM" + struct.pack("<IHHI", 14 + 40 + len(data), 0, 0, 54) + header + data
    open(path, "wb").write(out[:cut])


def unreadable(kind, path):
    """Writes a file of one of the UNREADABLE kinds and prints what kvhost must say of it."""
    rows = [[(x, y, 7) for x in range(WIDTH)] for y in range(HEIGHT)]
    changes = {"tiffzstd": [(259, 50000)], "tiffjpeg": [(259, 7)], "tiff12": [(258, 12)],
               "tifffloat": [(258, 32), (339, 3)], "tiffplanes": [(284, 2)]}
    if kind == "short":
        open(path, "wb").write(b"\x89P")
    elif kind == "badpng":
        png(path, WIDTH, HEIGHT, 8, 2, [[v for p in row for v in p] for row in rows])
        data = bytearray(open(path, "rb").read())
        data[40:60] = b"\x00" * 20  # into the compressed data
        open(path, "wb").write(bytes(data))
    elif kind == "cuttiff":
        tiff(path, 600, 400, 8, [[(x % 256, y % 256, 7) for x in range(600)] for y in range(400)])
        data = open(path, "rb").read()
        open(path, "wb").write(data[:len(data) // 3])
    elif kind.endswith("bmp") or kind.startswith("bmp"):
        width = {"cutbmp": 300, "bmpw0": 0, "bmpneg": -37}[kind]
        bmp(path, width, 23 if width <= 0 else 200, 5000 if kind == "cutbmp" else None)
    else:
        tiff(path, WIDTH, HEIGHT, 8, rows, changes=changes[kind])
    if kind in UNREADABLE:
        print(UNREADABLE[kind].format(path))


def make(kind, path):
    """Writes the image and returns its expected 8-bit RGBA rows."""
    grid = [(x, y) for y in range(HEIGHT) for x in range(WIDTH)]
    rows16 = [[[sample16(x, y, c) for c in range(4)] for x in range(WIDTH)] for y in range(HEIGHT)]
    order = ">" if kind.endswith("be") else "<"
    if kind in ("png16", "tiff16", "tiff16be"):
        channels = 4 if kind == "png16" else 3
        if kind == "png16":
            png(path, WIDTH, HEIGHT, 16, 6, [b"".join(struct.pack(">4H", *p) for p in row)
                                               for row in rows16])
        else:
            tiff(path, WIDTH, HEIGHT, 16, [[p[:3] for p in row] for row in rows16], order)
        return [[tuple(to8(v) for v in p[:channels]) + (255,) * (4 - channels) for p in row]
                for row in rows16]
    if kind in ("tiff16grey", "tiff16greybe"):
        tiff(path, WIDTH, HEIGHT, 16, [[p[:1] for p in row] for row in rows16], order)
        return [[(to8(p[0]),) * 3 + (255,) for p in row] for row in rows16]
    if kind == "png16grey":
        png(path, WIDTH, HEIGHT, 16, 0, [b"".join(struct.pack(">H", p[0]) for p in row)
                                           for row in rows16])
        return [[(to8(p[0]),) * 3 + (255,) for p in row] for row in rows16]
    if kind in ("tiff8", "tiff8be", "tiff8pages"):
        rows = [[tuple(v >> 8 for v in p) for p in row] for row in rows16]
        tiff(path, WIDTH, HEIGHT, 8, rows, order, 3 if kind == "tiff8pages" else 1)
        return rows
    if kind == "tiff8jpeg":
        # Four flat 8 x 8 blocks in one JPEG-compressed strip: the DC alone, quantised by 1,
        # decodes to exactly the block's values.
        colours = [(200, 30, 90), (10, 220, 140), (250, 250, 5), (60, 0, 255)]
        rows = [[colours[y // 8 * 2 + x // 8] for x in range(16)] for y in range(16)]
        tiff(path, 16, 16, 8, rows, changes=[(259, 7)],
             strip=flat_jpeg_bytes(16, 16, colours, transform=0))
        return [[p + (255,) for p in row] for row in rows]
    if kind == "greyalpha":
        rows = [[(30 * x + y, 255 - 40 * x) for x in range(WIDTH)] for y in range(HEIGHT)]
        png(path, WIDTH, HEIGHT, 8, 4, [[v for p in row for v in p] for row in rows])
        return [[(g, g, g, a) for g, a in row] for row in rows]
    if kind == "palette":
        colours = [(255, 0, 0), (0, 200, 0), (10, 20, 250), (90, 90, 90)]
        alphas = [255, 128, 0, 255]
        extra = b"".join(struct.pack(">I", len(d)) + k + d + struct.pack(">I", zlib.crc32(k + d))
                         for k, d in ((b"PLTE", bytes(v for c in colours for v in c)),
                                      (b"tRNS", bytes(alphas))))
        index = [[(x + y) % 4 for x in range(WIDTH)] for y in range(HEIGHT)]
        png(path, WIDTH, HEIGHT, 8, 3, index, extra)
        return [[colours[i] + (alphas[i],) for i in row] for row in index]
    sys.exit("unknown kind " + kind)


def big(path, width, height):
    base = bytes(i * 7 % 251 for i in range(width * 3 + 256))
    packer = zlib.compressobj(1)
    data = b"".join(packer.compress(b"\x00" + base[y % 256:y % 256 + width * 3])
                    for y in range(height)) + packer.flush()
    png(path, width, height, 8, 2, [])  # header and end, then the real data spliced in
    with open(path, "rb") as f:
        skeleton = f.read()
    idat_at = skeleton.index(b"IDAT") - 4
    body = b"IDAT" + data
    with open(path, "wb") as out:
        out.write(skeleton[:idat_at] + struct.pack(">I", len(data)) + body +
                  struct.pack(">I", zlib.crc32(body)) + skeleton[-12:])


def segment(marker, body):
    return struct.pack(">BBH", 0xFF, marker, len(body) + 2) + body


def flat_jpeg(path, width, height, blocks, transform):
    with open(path, "wb") as out:
        out.write(flat_jpeg_bytes(width, height, blocks, transform))


def flat_jpeg_bytes(width, height, blocks, transform):
    """Baseline JPEG, every sample 1 x 1, a block per component and MCU, each block flat: its
    only coefficient the DC, quantised by 1. blocks: the MCUs' sample values, one per component.
    The Huffman tables are the smallest that serve: 4-bit codes for the DC categories 0..11 and
    the one-bit code 0 for the end of block."""
    count = len(blocks[0])
    ids = range(1, count + 1)
    bits, predictions = "", [0] * count
    for mcu in blocks:
        for c, value in enumerate(mcu):
            diff, predictions[c] = 8 * (value - 128) - predictions[c], 8 * (value - 128)
            size = abs(diff).bit_length()
            bits += format(size, "04b") + (format(diff if diff >= 0 else diff + (1 << size) - 1,
                                                  "0%db" % size) if size else "") + "0"
    bits += "1" * (-len(bits) % 8)
    data = bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8)).replace(b"\xff",
                                                                              b"\xff\x00")
    tables = (b"\x00" + bytes([0, 0, 0, 12] + [0] * 12) + bytes(range(12)) +
              b"\x10" + bytes([1] + [0] * 15) + b"\x00")
    return (b"\xff\xd8" + segment(0xEE, b"Adobe" + struct.pack(">HHHB", 100, 0, 0, transform)) +
            segment(0xDB, b"\x00" + b"\x01" * 64) +
            segment(0xC0, struct.pack(">BHHB", 8, height, width, count) +
                    b"".join(bytes([i, 0x11, 0]) for i in ids)) +
            segment(0xC4, tables) +
            segment(0xDA, bytes([count]) + b"".join(bytes([i, 0]) for i in ids) +
                    b"\x00\x3f\x00") + data + b"\xff\xd9")


def marked(path, width, height):
    """A grey binary PPM with a red 8 x 8 mark in its top-left corner."""
    rows = b"".join(bytes((200, 30, 30) if x < 8 and y < 8 else (128, 128, 128))
                    for y in range(height) for x in range(width))
    with open(path, "wb") as out:
        out.write(b"P6 %d %d 255\n" % (width, height) + rows)


def corner(path):
    """Where the red mark of a marked picture shows (TL, TR, BL, BR) and the picture's size."""
    rows = read_any(path)
    height, width = len(rows), len(rows[0])
    at = [(x, y) for y in (0, height - 1) for x in (0, width - 1)
          if rows[y][x][0] > 150 and rows[y][x][1] < 100]
    names = {(0, 0): "TL", (width - 1, 0): "TR", (0, height - 1): "BL",
             (width - 1, height - 1): "BR"}
    print("%s %dx%d" % (" ".join(names[p] for p in at) or "none", width, height))


def icc_profile():
    """A small ICC profile: a display profile's 128-byte header and one tag, its white point."""
    header = struct.pack(">I4sI4s4s4s6H4s4sIIIII", 164, b"none", 0x02100000, b"mntr", b"RGB ",
                         b"XYZ ", 2026, 12, 8, 9, 30, 0, b"acsp", b"APPL", 0, 0, 0, 0, 0)
    header += b"\x00" * (128 - len(header))
    table = struct.pack(">I4sII", 1, b"wtpt", 144, 20)
    white = b"XYZ " + bytes(4) + struct.pack(">3i", 63190, 65536, 54061)
    return header + table + white


def read_any(path):
    """Rows of RGB(A) tuples of an 8-bit PNG or a binary PPM (P6) or PGM (P5)."""
    data = open(path, "rb").read()
    if data[:2] not in (b"P5", b"P6"):
        return read_png(path)[2]
    kind, width, height, _, pixels = data.split(maxsplit=4)
    step = 3 if kind == b"P6" else 1
    return [[tuple(pixels[(y * int(width) + x) * step + c % step] for c in range(3))
             for x in range(int(width))] for y in range(int(height))]


def error(a, b):
    rows_a, rows_b = read_any(a), read_any(b)
    diffs = [abs(p[c] - q[c]) for ra, rb in zip(rows_a, rows_b) for p, q in zip(ra, rb)
             for c in range(3)]
    print("%.2f" % (sum(diffs) / len(diffs)))


def peak(path, command):
    child = subprocess.Popen(command)
    _, status, usage = os.wait4(child.pid, 0)
    with open(path, "w") as out:
        out.write("%d\n" % (usage.ru_maxrss // 1024))
    sys.exit(os.waitstatus_to_exitcode(status))


def main(command, *args):
    if command == "make":
        for row in make(args[0], args[1]):
            print(" ".join("%02X%02X%02X%02X" % tuple(p) for p in row))
    elif command == "unreadable" and len(args) == 0:
        print(" ".join(UNREADABLE))
    elif command == "unreadable":
        unreadable(args[0], args[1])  # also "tiffplanes": colour planes apart, which kvhost reads
    elif command == "marked":
        marked(args[0], int(args[1]), int(args[2]))
    elif command == "corner":
        corner(args[0])
    elif command == "icc":
        open(args[0], "wb").write(icc_profile())
    elif command == "big":
        big(args[0], int(args[1]), int(args[2]))
    elif command == "huge" and args[0].endswith(".jpg"):
        flat_jpeg(args[0], int(args[1]), int(args[2]), [(0, 0, 0, 0)], 0)
    elif command == "huge":
        png(args[0], int(args[1]), int(args[2]), 8, 2, [[0, 0, 0]])
    elif command == "cmyk":
        flat_jpeg(args[0], 16, 8, [(230, 40, 120, 200), (20, 250, 90, 255)], int(args[1]))
    elif command == "error":
        error(args[0], args[1])
    elif command == "peak":
        peak(args[0], list(args[1:]))
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main(*sys.argv[1:])
