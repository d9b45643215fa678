#!/usr/bin/env python3
"""Checks the plug-in's icon and cursor files: each is a well-formed one-image 32x32 icon
or cursor of the expected colour depth, the icons show a real picture with green arrows, and
the files are exactly what resources/make_art.py draws (standard library only).

  resources_check.py
"""
import os
import struct
import subprocess
import sys
import tempfile

RESOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "resources")
ICONS = ["shape_%d.ico" % number for number in range(1065, 1071)]
CURSORS = ["pan_open.cur", "pan_closed.cur"]
SIZE = 32


class BadFile(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise BadFile(message)


def read_pixels(image, bits, colours):
    """Palette colour of every pixel, None where the AND mask makes it transparent."""
    colour_stride = (SIZE * bits + 31) // 32 * 4
    mask_stride = (SIZE + 31) // 32 * 4
    mask_start = colour_stride * SIZE
    pixels = []
    for y in range(SIZE):
        row = SIZE - 1 - y  # bitmaps are stored bottom row first
        line = []
        for x in range(SIZE):
            byte = image[row * colour_stride + x * bits // 8]
            index = (byte >> (8 - bits - x * bits % 8)) & ((1 << bits) - 1)
            masked = image[mask_start + row * mask_stride + x // 8] >> (7 - x % 8) & 1
            line.append(None if masked else colours[index])
        pixels.append(line)
    return pixels


def check_file(data, is_cursor):
    """Validates the container and its bitmap; returns the pixels."""
    expect(len(data) >= 22, "too short for an icon directory")
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    expect(reserved == 0, "directory reserved field is %d" % reserved)
    expect(kind == (2 if is_cursor else 1), "directory type is %d" % kind)
    expect(count == 1, "holds %d images, not 1" % count)
    width, height, _, _, field_a, field_b, length, offset = struct.unpack_from(
        "<BBBBHHII", data, 6)
    expect((width, height) == (SIZE, SIZE), "entry size is %dx%d" % (width, height))
    if is_cursor:
        expect((field_a, field_b) == (0, 0), "hot spot is (%d, %d)" % (field_a, field_b))
    else:
        expect((field_a, field_b) == (1, 4), "entry planes/bits are %d/%d" % (field_a, field_b))
    expect(offset == 22, "image offset is %d" % offset)
    expect(offset + length == len(data), "entry length %d, file has %d bytes after the "
           "directory" % (length, len(data) - offset))

    header_size, dib_width, dib_height, planes, bits, compression = struct.unpack_from(
        "<IiiHHI", data, offset)
    expect(header_size == 40, "DIB header size is %d" % header_size)
    expect((dib_width, dib_height) == (SIZE, 2 * SIZE),
           "DIB size is %dx%d, not 32x64" % (dib_width, dib_height))
    expect(planes == 1, "DIB planes is %d" % planes)
    expect(bits == (1 if is_cursor else 4), "DIB bit count is %d" % bits)
    expect(compression == 0, "DIB is compressed (%d)" % compression)
    colours_used = struct.unpack_from("<I", data, offset + 32)[0]
    palette_size = colours_used or 1 << bits
    expect(palette_size == 1 << bits, "palette has %d entries" % palette_size)

    palette_start = offset + header_size
    image_start = palette_start + 4 * palette_size
    colour_bytes = (SIZE * bits + 31) // 32 * 4 * SIZE
    mask_bytes = (SIZE + 31) // 32 * 4 * SIZE
    expect(len(data) - image_start == colour_bytes + mask_bytes,
           "bitmap data is %d bytes, expected %d" % (len(data) - image_start,
                                                     colour_bytes + mask_bytes))
    quads = [data[palette_start + 4 * i:palette_start + 4 * i + 3] for i in range(palette_size)]
    colours = [(red, green, blue) for blue, green, red in quads]  # stored blue first
    if is_cursor:
        expect(colours == [(0, 0, 0), (255, 255, 255)], "cursor palette is not black/white")
    return read_pixels(data[image_start:], bits, colours)


def check_picture(pixels, is_cursor):
    flat = [colour for row in pixels for colour in row]
    expect(any(colour is not None for colour in flat), "no opaque pixels")
    expect(any(colour is None for colour in flat), "no transparent pixels")
    if is_cursor:
        expect((255, 255, 255) in flat and (0, 0, 0) in flat, "needs black and white pixels")
    else:
        expect(any(colour is not None and colour[1] >= 128 and colour[0] == colour[2] == 0
                   for colour in flat), "no green pixels")


def check_generated(names):
    """The committed files must be exactly what make_art.py writes."""
    script = os.path.join(RESOURCES, "make_art.py")
    with tempfile.TemporaryDirectory() as out_dir:
        subprocess.run([sys.executable, script, out_dir], check=True)
        for name in names:
            with open(os.path.join(out_dir, name), "rb") as fresh:
                with open(os.path.join(RESOURCES, name), "rb") as committed:
                    expect(fresh.read() == committed.read(),
                           "%s differs from make_art.py's output; rerun the script" % name)


def main():
    failures = 0
    for name in ICONS + CURSORS:
        is_cursor = name.endswith(".cur")
        try:
            with open(os.path.join(RESOURCES, name), "rb") as handle:
                check_picture(check_file(handle.read(), is_cursor), is_cursor)
            print("ok      %s" % name)
        except (BadFile, OSError) as error:
            print("FAILED  %s: %s" % (name, error))
            failures += 1
    try:
        check_generated(ICONS + CURSORS)
        print("ok      files match make_art.py")
    except (BadFile, OSError, subprocess.CalledProcessError) as error:
        print("FAILED  generated art: %s" % error)
        failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
