#!/usr/bin/env python3
"""Draws the demo's tall facade photographed from below: a flat facade of equal floors and square
windows, seen through a pinhole camera with a 28 mm lens (35-mm equivalent) tilted up by 20
degrees, so that its verticals converge and its upper floors come out squatter than the lower
ones. Each pixel averages 4 x 4 samples over its area. Writes an 8-bit RGB PNG (standard library
only).

  make_facade.py OUT.png [WIDTH HEIGHT]
"""
import math
import sys

from make_sample import write_png

FOCAL_MM = 28
FRAME_DIAGONAL_MM = 43.27
TILT = math.radians(20)
FLOORS = 9
BAYS = 5
SUBSAMPLES = 4  # along each axis


def facade(width, height):
    """The camera and the facade's extent on its plane, in plane units of one pixel at the
    image's centre: the facade spans the picture from near its bottom to near its top."""
    f = FOCAL_MM * math.hypot(width, height) / FRAME_DIAGONAL_MM
    camera = (f, TILT)
    bottom = plane_point(camera, 0, -height * 0.44)[1]
    top = plane_point(camera, 0, height * 0.40)[1]
    floor = (top - bottom) / FLOORS
    return camera, bottom, floor


def plane_point(camera, along, up):
    """The point of the facade's plane (one focal length away, origin where the image's centre
    sees it) that the image point (along, up) from the centre shows."""
    f, tilt = camera
    s = f / (f * math.cos(tilt) - up * math.sin(tilt))
    return s * along, s * (up * math.cos(tilt) + f * math.sin(tilt)) - f * math.tan(tilt)


def colour(p, q, bottom, floor):
    """Square bays of one floor's height, each with a square window half as wide."""
    half = BAYS * floor / 2
    if not (-half <= p < half and bottom <= q < bottom + FLOORS * floor):
        if q < bottom:
            return (90, 95, 90)  # pavement
        return (120, 170, 235)  # sky
    u = ((p + half) / floor) % 1.0
    v = ((q - bottom) / floor) % 1.0
    if 0.25 <= u < 0.75 and 0.25 <= v < 0.75:
        return (40, 60, 100)  # window
    return (205, 180, 140)  # stone


def main():
    out = sys.argv[1]
    width = int(sys.argv[2]) if len(sys.argv) > 2 else 480
    height = int(sys.argv[3]) if len(sys.argv) > 3 else 640
    camera, bottom, floor = facade(width, height)
    rows = []
    n = SUBSAMPLES * SUBSAMPLES
    for y in range(height):
        row = []
        for x in range(width):
            total = [0, 0, 0]
            for k in range(n):
                along = x + (k % SUBSAMPLES + 0.5) / SUBSAMPLES - width / 2
                up = height / 2 - (y + (k // SUBSAMPLES + 0.5) / SUBSAMPLES)
                c = colour(*plane_point(camera, along, up), bottom, floor)
                for i in range(3):
                    total[i] += c[i]
            row.extend(int(t / n + 0.5) for t in total)
        rows.append(row)
    write_png(out, width, height, rows)


if __name__ == "__main__":
    main()
