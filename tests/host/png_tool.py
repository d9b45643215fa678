#!/usr/bin/env python3
"""PNG helper of the kvhost tests: writes small test images and prints pixels (standard library).

  png_tool.py rgba OUT W H                      RGBA pattern image
  png_tool.py rgb OUT W H                       RGB pattern image (no alpha channel)
  png_tool.py mask OUT W H L,T,R,B LEVEL [X,Y]  grey mask: LEVEL inside the box, 0 elsewhere
                                                and at the optional hole X,Y
  png_tool.py solid OUT W H RRGGBBAA             RGBA image of one colour
  png_tool.py noise OUT W H                     RGB image of random levels, the same every time
  png_tool.py dump FILE                         one line per row, pixels as RRGGBBAA
  png_tool.py size FILE                         width and height: "W H"
  png_tool.py common FILE                       the most frequent pixel, RRGGBBAA, and how many
                                                different pixels there are: "RRGGBBAA N"
  png_tool.py probe IN L,T,R,B FG BG [MASK]     what the probe plug-in's filter 0 should give
  png_tool.py invert IN L,T,R,B                 what the probe plug-in's filter 1 should give
"""
import collections
import os
import random
import struct
import sys
import zlib

COLOUR_TYPES = {0: 1, 2: 3, 6: 4}  # grey, RGB, RGBA -> channels


def pattern(x, y):
    return (10 * x + 1, 20 * y + 2, (7 * x * y + 3) % 256, 200 + x)


def write_png(path, width, height, colour_type, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                  chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def unfilter(kind, line, previous, bpp):
    out = bytearray(line)
    for i in range(len(out)):
        a = out[i - bpp] if i >= bpp else 0
        b = previous[i]
        c = previous[i - bpp] if i >= bpp else 0
        if kind == 1:
            out[i] = (out[i] + a) & 255
        elif kind == 2:
            out[i] = (out[i] + b) & 255
        elif kind == 3:
            out[i] = (out[i] + (a + b) // 2) & 255
        elif kind == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            out[i] = (out[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    return out


def read_png(path):
    """Returns (width, height, rows of RGBA tuples) of an 8-bit non-interlaced PNG."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG file"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour_type = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and colour_type in COLOUR_TYPES, "unsupported PNG"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    bpp = COLOUR_TYPES[colour_type]
    raw, stride = zlib.decompress(idat), width * bpp
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        previous = unfilter(raw[start], raw[start + 1:start + 1 + stride], previous, bpp)
        rows.append([expand(previous[x * bpp:(x + 1) * bpp]) for x in range(width)])
    return width, height, rows


def expand(channels):
    if len(channels) == 1:
        return (channels[0],) * 3 + (255,)
    return tuple(channels) + (255,) * (4 - len(channels))


def colour(text):
    text = text + "FF" if len(text) == 6 else text
    return tuple(int(text[i:i + 2], 16) for i in range(0, 8, 2))


def inside(rect, x, y):
    return rect[0] <= x < rect[2] and rect[1] <= y < rect[3]


def probe(args):
    _, _, rows = read_png(args[0])
    rect = [int(v) for v in args[1].split(",")]
    fg, bg = colour(args[2]), colour(args[3])
    mask = read_png(args[4])[2] if len(args) > 4 else None
    for y, row in enumerate(rows):
        for x, (r, g, b, a) in enumerate(row):
            selected = mask is None or mask[y][x][0] != 0
            if not inside(rect, x, y) or not selected:
                continue
            alpha = mask[y][x][0] if mask else a
            row[x] = fg if y == rect[1] else bg if y == rect[3] - 1 else (g, b, r, alpha)
    return rows


def invert(args):
    _, _, rows = read_png(args[0])
    rect = [int(v) for v in args[1].split(",")]
    for y, row in enumerate(rows):
        for x, (r, g, b, a) in enumerate(row):
            if inside(rect, x, y):
                row[x] = (255 - r, 255 - g, 255 - b, a)
    return rows


def print_rows(rows):
    for row in rows:
        print(" ".join("%02X%02X%02X%02X" % pixel for pixel in row))


def main(command, *args):
    if command in ("rgba", "rgb", "mask"):
        width, height = int(args[1]), int(args[2])
        if command == "mask":
            box, level = [int(v) for v in args[3].split(",")], int(args[4])
            hole = tuple(int(v) for v in args[5].split(",")) if len(args) > 5 else None
            rows = [[level if inside(box, x, y) and (x, y) != hole else 0 for x in range(width)]
                    for y in range(height)]
            write_png(args[0], width, height, 0, rows)
            return
        size = 4 if command == "rgba" else 3
        rows = [[c for x in range(width) for c in pattern(x, y)[:size]] for y in range(height)]
        write_png(args[0], width, height, 6 if command == "rgba" else 2, rows)
    elif command == "solid":
        width, height = int(args[1]), int(args[2])
        pixel = [int(args[3][i:i + 2], 16) for i in range(0, 8, 2)]
        write_png(args[0], width, height, 6, [pixel * width for _ in range(height)])
    elif command == "noise":
        width, height = int(args[1]), int(args[2])
        levels = random.Random(1)
        rows = [[levels.randrange(256) for _ in range(3 * width)] for _ in range(height)]
        write_png(args[0], width, height, 2, rows)
    elif command == "big":  # large and slow to encode: random bytes, quickly compressed
        width, height = int(args[1]), int(args[2])
        data = b"".join(b"\0" + os.urandom(3 * width) for _ in range(height))
        with open(args[0], "wb") as out:
            out.write(b"\x89PNG\r\n\x1a\n")
            for kind, body in ((b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)),
                               (b"IDAT", zlib.compress(data, 1)), (b"IEND", b"")):
                out.write(struct.pack(">I", len(body)) + kind + body +
                          struct.pack(">I", zlib.crc32(kind + body)))
    elif command == "dump":
        print_rows(read_png(args[0])[2])
    elif command == "size":
        width, height, _ = read_png(args[0])
        print(width, height)
    elif command == "common":
        counts = collections.Counter(pixel for row in read_png(args[0])[2] for pixel in row)
        print("%02X%02X%02X%02X" % counts.most_common(1)[0][0], len(counts))
    elif command == "probe":
        print_rows(probe(list(args)))
    elif command == "invert":
        print_rows(invert(list(args)))
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main(*sys.argv[1:])
