#!/usr/bin/env python3
"""Image files of the kvhost format tests, made with the standard library.

  format_tool.py make KIND OUT        writes a small image of KIND and prints, one line per row,
                                      the 8-bit RRGGBBAA pixels a reader should get from it:
                                      png16 (RGBA), png16grey, greyalpha, palette (with tRNS),
                                      tiff16 (RGB), tiff8 (RGBA)
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


def tiff(path, width, height, depth, samples):
    """Uncompressed little-endian RGB(A) TIFF, one strip; samples: rows of channel values."""
    fmt = "<%d%s" % (width * len(samples[0][0]), "H" if depth == 16 else "B")
    data = b"".join(struct.pack(fmt, *[v for pixel in row for v in pixel]) for row in samples)
    channels = len(samples[0][0])
    bits_at = 8 + len(data)
    tags = [(256, 3, 1, width), (257, 3, 1, height), (258, 3, channels, bits_at),
            (259, 3, 1, 1), (262, 3, 1, 2), (273, 4, 1, 8), (277, 3, 1, channels),
            (278, 3, 1, height), (279, 4, 1, len(data)), (284, 3, 1, 1)]
    if channels == 4:
        tags.append((338, 3, 1, 2))  # unassociated alpha
    ifd_at = bits_at + 2 * channels
    ifd = struct.pack("<H", len(tags)) + b"".join(
        struct.pack("<HHII", tag, kind, count, value) if kind == 4 or count > 1 else
        struct.pack("<HHIHH", tag, kind, count, value, 0) for tag, kind, count, value in tags)
    with open(path, "wb") as out:
        out.write(b"II*\x00" + struct.pack("<I", ifd_at) + data +
                  struct.pack("<%dH" % channels, *[depth] * channels) + ifd + b"\x00" * 4)


def make(kind, path):
    """Writes the image and returns its expected 8-bit RGBA rows."""
    grid = [(x, y) for y in range(HEIGHT) for x in range(WIDTH)]
    rows16 = [[[sample16(x, y, c) for c in range(4)] for x in range(WIDTH)] for y in range(HEIGHT)]
    if kind in ("png16", "tiff16"):
        channels = 4 if kind == "png16" else 3
        if kind == "png16":
            png(path, WIDTH, HEIGHT, 16, 6, [b"".join(struct.pack(">4H", *p) for p in row)
                                               for row in rows16])
        else:
            tiff(path, WIDTH, HEIGHT, 16, [[p[:3] for p in row] for row in rows16])
        return [[tuple(to8(v) for v in p[:channels]) + (255,) * (4 - channels) for p in row]
                for row in rows16]
    if kind == "png16grey":
        png(path, WIDTH, HEIGHT, 16, 0, [b"".join(struct.pack(">H", p[0]) for p in row)
                                           for row in rows16])
        return [[(to8(p[0]),) * 3 + (255,) for p in row] for row in rows16]
    if kind == "tiff8":
        rows = [[tuple(v >> 8 for v in p) for p in row] for row in rows16]
        tiff(path, WIDTH, HEIGHT, 8, rows)
        return rows
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


def error(a, b):
    rows_a, rows_b = read_png(a)[2], read_png(b)[2]
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
    elif command == "big":
        big(args[0], int(args[1]), int(args[2]))
    elif command == "huge":
        png(args[0], int(args[1]), int(args[2]), 8, 2, [[0, 0, 0]])
    elif command == "error":
        error(args[0], args[1])
    elif command == "peak":
        peak(args[0], list(args[1:]))
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main(*sys.argv[1:])
