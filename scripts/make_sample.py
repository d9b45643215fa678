#!/usr/bin/env python3
"""Draws the demo's sample photograph: a building facade seen from below, its verticals
converging towards the top, against a sky. Each pixel averages 4 x 4 samples over its area, as
a camera's sensor does, so that edges are smooth rather than stair-stepped. Writes an 8-bit RGB
PNG (standard library only).

  make_sample.py OUT.png [WIDTH HEIGHT]
"""
import struct
import sys
import zlib


def write_png(path, width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                  chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def facade_colour(u, v):
    """Colour at facade coordinates u, v in [0, 1): a grid of windows on warm stone."""
    cu, cv = (u * 6) % 1.0, (v * 9) % 1.0
    if 0.2 < cu < 0.8 and 0.25 < cv < 0.75:
        shine = int(60 * (1 - cv))
        return (40 + shine, 70 + shine, 110 + shine)
    shade = int(20 * v)
    return (200 - shade, 170 - shade, 130 - shade)


def pixel(x, y, width, height):
    top, bottom = height * 0.08, height * 0.92
    if top <= y < bottom:
        v = (y - top) / (bottom - top)
        half = width * (0.24 + 0.14 * v)  # wider at the bottom: converging verticals
        left = width / 2 - half
        if left <= x < width - left:
            return facade_colour((x - left) / (2 * half), v)
    if y >= bottom:
        return (90, 95, 90)  # pavement
    sky = int(120 * y / height)
    return (110 + sky // 2, 160 + sky // 3, 235)


SUBSAMPLES = 4  # along each axis


def averaged_pixel(x, y, width, height):
    """Pixel (x, y) as the mean of its subsamples, rounded."""
    total = [0, 0, 0]
    offsets = [(k + 0.5) / SUBSAMPLES for k in range(SUBSAMPLES)]
    for dy in offsets:
        for dx in offsets:
            for channel, value in enumerate(pixel(x + dx, y + dy, width, height)):
                total[channel] += value
    count = SUBSAMPLES * SUBSAMPLES
    return [(value + count // 2) // count for value in total]


def main():
    path = sys.argv[1]
    width = int(sys.argv[2]) if len(sys.argv) > 2 else 480
    height = int(sys.argv[3]) if len(sys.argv) > 3 else 360
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            row.extend(averaged_pixel(x, y, width, height))
        rows.append(row)
    write_png(path, width, height, rows)


if __name__ == "__main__":
    main()
