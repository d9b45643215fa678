#!/usr/bin/env python3
"""Draws the plug-in's shape icons (shape_1065.ico ... shape_1070.ico) and its pan cursors
(pan_open.cur, pan_closed.cur) and writes them as Windows icon and cursor files (standard
library only). The pictures live in this file alone, so every run writes the same bytes.

  make_art.py [OUTPUT_DIR]      (default: the directory of this script)
"""
import os
import struct
import sys

SIZE = 32

# The 16-colour palette in the usual VGA order, as (red, green, blue).
PALETTE16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_BLUE, GREY, GREEN, WHITE = 0, 4, 8, 10, 15
PALETTE2 = [(0, 0, 0), (255, 255, 255)]  # cursors: index 0 black, 1 white

# Icon layout for shapes whose top and/or bottom edge changes; the left/right shapes are the
# same pictures transposed. The arrows live in the margins above and below the frame.
FRAME_LEFT, FRAME_TOP, FRAME_RIGHT, FRAME_BOTTOM = 1, 6, 30, 25
INSET = 7  # how much a shortened edge loses at each end

# Arrow pointing right along an edge: 'K' outline, 'F' fill (green or white).
ARROW = [
    ".....K..",
    "KKKKKFK.",
    "KFFFFFFK",
    "KKKKKFK.",
    ".....K..",
]

# Pan cursors: 'X' black, 'o' white, '.' transparent. The hands sit at the hot spot (0, 0).
OPEN_HAND = [
    "........XX.......",
    ".....XXXooXXX....",
    "....XooXooXooX...",
    "....XooXooXooXXX.",
    "....XooXooXooXooX",
    "....XooXooXooXooX",
    ".XX.XooXooXooXooX",
    "XooXXooXooXooXooX",
    "XoooXoooooooooooX",
    ".XooXoooooooooooX",
    "..XooXooooooooooX",
    "..XoooooooooooooX",
    "...XooooooooooooX",
    "....XoooooooooXX.",
    ".....XoooooooX...",
    "......XoooooooX..",
    "......XXXXXXXXX..",
]
CLOSED_HAND = [
    ".................",
    ".................",
    ".................",
    ".................",
    ".....XX.XX.XX....",
    "....XooXooXooXX..",
    "....XooXooXooXoX.",
    "...XXooooooooXooX",
    "..XooXoooooooooooX",
    "..XoooXooooooooooX",
    "...XoooooooooooooX",
    "...XooooooooooooX",
    "....XoooooooooooX",
    "....XoooooooooXX.",
    ".....XoooooooX...",
    "......XoooooooX..",
    "......XXXXXXXXX..",
]
MOVE_ARROWS = [
    "........X........",
    ".......XoX.......",
    "......XoooX......",
    ".....XXXoXXX.....",
    ".......XoX.......",
    "...X...XoX...X...",
    "..XX...XoX...XX..",
    ".XoXXXXXoXXXXXoX.",
    "XoooooooooooooooX",
    ".XoXXXXXoXXXXXoX.",
    "..XX...XoX...XX..",
    "...X...XoX...X...",
    ".......XoX.......",
    ".....XXXoXXX.....",
    "......XoooX......",
    ".......XoX.......",
    "........X........",
]
MOVE_ARROWS_AT = (15, 15)  # below and to the right of the hand


def blank():
    """A fully transparent picture: rows of palette indices, None where transparent."""
    return [[None] * SIZE for _ in range(SIZE)]


def stamp(picture, sprite, left, top, colours, mirror=False):
    """Copies an ASCII sprite onto the picture; colours maps its characters to indices."""
    for dy, line in enumerate(sprite):
        for dx, char in enumerate(line[::-1] if mirror else line):
            if char in colours:
                picture[top + dy][left + dx] = colours[char]


def transposed(picture):
    return [list(column) for column in zip(*picture)]


def edge_inset(y, top_moves, bottom_moves):
    """How far the trapezoid's sides stand in from the frame on row y, rounded to a pixel."""
    height = FRAME_BOTTOM - FRAME_TOP
    if top_moves and bottom_moves:  # widest in the middle, narrowing towards both edges
        distance = abs(2 * y - FRAME_TOP - FRAME_BOTTOM)
    elif top_moves:
        distance = FRAME_BOTTOM - y
    else:
        distance = y - FRAME_TOP
    return (2 * INSET * distance + height) // (2 * height)


def draw_frame(picture):
    """The unchanged frame: a dotted rectangle of alternating black and grey pixels."""
    for y in range(FRAME_TOP, FRAME_BOTTOM + 1):
        for x in range(FRAME_LEFT, FRAME_RIGHT + 1):
            if y in (FRAME_TOP, FRAME_BOTTOM) or x in (FRAME_LEFT, FRAME_RIGHT):
                picture[y][x] = BLACK if (x + y) % 2 == 0 else GREY


def draw_arrow_pair(picture, top):
    """A green arrow and a white arrow, pointing inwards at the ends of a shortened edge."""
    width = len(ARROW[0])
    stamp(picture, ARROW, FRAME_LEFT + INSET - width, top, {"K": BLACK, "F": GREEN})
    stamp(picture, ARROW, FRAME_RIGHT - INSET + 1, top, {"K": BLACK, "F": WHITE}, mirror=True)


def shape_icon(top_moves, bottom_moves):
    """Trapezoid inside the frame, arrows beside each edge that shortens, a bar on a kept one."""
    picture = blank()
    draw_frame(picture)
    for y in range(FRAME_TOP, FRAME_BOTTOM + 1):
        inset = edge_inset(y, top_moves, bottom_moves)
        for x in range(FRAME_LEFT + inset, FRAME_RIGHT - inset + 1):
            picture[y][x] = DARK_BLUE
    arrow_gap = 1 + len(ARROW)
    kept_rows = []
    if top_moves:
        draw_arrow_pair(picture, FRAME_TOP - arrow_gap)
    else:
        kept_rows = [FRAME_TOP - 2, FRAME_TOP - 1]
    if bottom_moves:
        draw_arrow_pair(picture, FRAME_BOTTOM + 2)
    else:
        kept_rows = [FRAME_BOTTOM + 1, FRAME_BOTTOM + 2]
    for y in kept_rows:  # bold bar: this edge keeps its full length
        for x in range(FRAME_LEFT, FRAME_RIGHT + 1):
            picture[y][x] = BLACK
    return picture


def cursor_picture(hand):
    picture = blank()
    colours = {"X": 0, "o": 1}
    stamp(picture, hand, 0, 0, colours)
    stamp(picture, MOVE_ARROWS, MOVE_ARROWS_AT[0], MOVE_ARROWS_AT[1], colours)
    return picture


def pack_rows(rows, bits):
    """Packs rows of small integers bottom row first, each row padded to 4 bytes."""
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        per_byte = 8 // bits
        for start in range(0, len(row), per_byte):
            byte = 0
            for value in row[start:start + per_byte]:
                byte = (byte << bits) | value
            line.append(byte << bits * (per_byte - len(row[start:start + per_byte])))
        data += line + bytes(-len(line) % 4)
    return bytes(data)


def dib(picture, palette, bits):
    """Icon image: BITMAPINFOHEADER (height doubled), palette, colour bitmap, AND mask."""
    colour = pack_rows([[value or 0 for value in row] for row in picture], bits)
    mask = pack_rows([[1 if value is None else 0 for value in row] for row in picture], 1)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, bits, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    quads = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + quads + colour + mask


def icon_file(image, resource_type, colour_count, field_a, field_b):
    """One-image icon directory; field_a/field_b are planes/bit count for icons and the
    hot spot x/y for cursors."""
    directory = struct.pack("<HHH", 0, resource_type, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, colour_count, 0, field_a, field_b,
                        len(image), len(directory) + 16)
    return directory + entry + image


def all_files():
    shapes = {
        1065: (True, True, False),  # top and bottom
        1066: (True, False, False),  # top
        1067: (False, True, False),  # bottom
        1068: (True, True, True),  # left and right
        1069: (True, False, True),  # left
        1070: (False, True, True),  # right
    }
    files = {}
    for number, (first_moves, second_moves, sideways) in shapes.items():
        picture = shape_icon(first_moves, second_moves)
        if sideways:  # transposing turns top into left and bottom into right
            picture = transposed(picture)
        files["shape_%d.ico" % number] = icon_file(
            dib(picture, PALETTE16, 4), 1, 16, 1, 4)
    for name, hand in (("pan_open.cur", OPEN_HAND), ("pan_closed.cur", CLOSED_HAND)):
        files[name] = icon_file(dib(cursor_picture(hand), PALETTE2, 1), 2, 2, 0, 0)
    return files


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, data in all_files().items():
        with open(os.path.join(out_dir, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
