"""Trapezoid's keystone correction on NumPy arrays and image files.

Pictures are ``H x W x 3`` (RGB) or ``H x W x 4`` (RGBA) arrays of ``uint8`` or ``uint16``;
the engine is the one of the plug-in and of the ``trapezoid`` command, pixel for pixel.
"""

from . import _engine
from ._engine import FileError

__all__ = ["correct", "suggest", "read", "write", "run_file", "FileError"]


def correct(image, shape=1, difference=0, fill="edge", transparent=False, perspective=False,
            proportions=False, focal=28, rect=None, mask=None, fg=None, bg=None):
    """Return IMAGE corrected: a new array of its shape and dtype.

    shape: 0 top and bottom, 1 top, 2 bottom, 3 left and right, 4 left, 5 right.
    difference: -100..100, percent; positive squeezes the edge, negative stretches it.
    fill: the area the edge no longer covers: "edge", "source", "fg", "bg", "white", "black".
    transparent: that area gets alpha 0 (visible in an RGBA result).
    perspective: the perspective profile (straight lines stay straight), else the classic one.
    proportions: with perspective, the camera's tilt undone as a whole, so that floors and
        windows come out in their true proportions (the picture keeps its size).
    focal: the lens for proportions, a whole number of mm in the 35-mm frame, 8..800.
    rect: (left, top, right, bottom), right and bottom exclusive; default the mask's bounding
        box, else the whole picture.
    mask: an H x W uint8 array, non-zero selected; unselected pixels are kept.
    fg, bg: (r, g, b) or (r, g, b, a), the colours of fill "fg" and "bg" (black and white).
    uint16 values are rounded to 8 bits as image files are, and the result scaled back.
    Raises TypeError or ValueError naming a bad argument, MemoryError when memory runs out.
    The GIL is released while the engine runs.
    """
    return _engine.correct(image, shape, difference, fill, transparent, perspective,
                           proportions, focal, rect, mask, fg, bg)


def suggest(image, horizontal=False, perspective=False, rect=None, mask=None):
    """Return (shape, difference) that straightens IMAGE's converging lines, or None.

    horizontal: straighten near-horizontal lines (shapes 4, 5) instead of verticals (1, 2).
    perspective: judge the lines under the perspective profile, which correct() then uses.
    rect, mask: the selection, as for correct().
    """
    return _engine.suggest(image, horizontal, perspective, rect, mask)


def read(path):
    """Return (image, metadata) of the image file PATH, turned upright.

    image: uint8 RGB, or RGBA when some pixel is not opaque. metadata: {"exif": bytes,
    "icc": bytes, "xmp": str}, as write() carries it. Raises FileError (an OSError).
    """
    return _engine.read(str(path))


def write(path, image, metadata=None, quality=92):
    """Write IMAGE to PATH in the format of its extension (.png, .jpg, .tif, .bmp, .webp).

    metadata: as read() gives it, or None. quality: JPEG and lossy WebP quality, 1..100.
    The file appears only when complete. Raises FileError (an OSError), ValueError, TypeError.
    """
    _engine.write(str(path), image, metadata, quality)


def _options_of(settings):
    """The ``trapezoid run`` options of keyword settings (run_file's)."""
    options = []
    for key, value in settings.items():
        option = "--" + key.replace("_", "-")
        if key in ("fg", "bg") and not isinstance(value, str):
            value = "".join("%02X" % channel for channel in value)
        if key == "rect" and not isinstance(value, str):
            value = ",".join(str(number) for number in value)
        if value is True:
            options.append(option)
        elif value is not False and value is not None:
            options += [option, str(value)]
    return options


def run_file(input, output, auto=False, **settings):
    """Correct the image file INPUT into OUTPUT as ``trapezoid run INPUT OUTPUT`` does.

    settings: the command's options as keywords: shape, difference, fill, transparent,
    perspective, classic, proportions, focal, settings (a vxfilters.ini), rect, mask (a mask
    image's path), fg, bg ((r, g, b[, a]) or "RRGGBB[AA]"), quality, strip, horizontal, crop.
    auto: straighten first.
    Returns the lines the command would print (warnings, the suggestion taken).
    Raises ValueError for a bad setting, FileError (an OSError) for a file that fails.
    """
    arguments = [str(input), str(output)] + _options_of(dict(settings, auto=auto))
    return _engine.run_one(arguments, str(input), str(output))
