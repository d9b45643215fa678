"""trapezoid.correct and suggest: the recorded digests, the argument errors, a rendered scene."""

import os
import threading

import numpy
import pytest

import trapezoid
from conftest import engine_words, fnv_digests, rgba_of_words, words_of_rgba

FILLS = ["edge", "source", "fg", "bg", "white", "black"]
FG = (0x12, 0x34, 0x56, 0xC0)  # the colours the test hosts answer
BG = (0xFE, 0xDC, 0xBA, 0x80)


def recorded(path):
    cases = []
    for line in open(path):
        name, digest = line.split()
        size, rest = name.split("@")
        rect, shape, difference, mode, transparent = rest.split("/")
        cases.append((tuple(int(v) for v in size.split("x")),
                      tuple(int(v) for v in rect.split(",")), int(shape[1:]),
                      int(difference[1:]), int(mode[1:]), transparent == "t1", int(digest, 16)))
    return cases


@pytest.mark.parametrize("record, perspective, proportions", [
    ("pass_digests.txt", False, False),
    ("pass_digests_reciprocal.txt", True, False),
    ("pass_digests_proportions.txt", True, True),  # the lens of 28 mm
])
def test_the_recorded_digests(source_dir, record, perspective, proportions):
    cases = recorded(os.path.join(source_dir, "tests", record))
    by_size = {}
    for (width, height), rect, shape, difference, mode, transparent, digest in cases:
        source = rgba_of_words(engine_words(width, height))
        # Every other case through a strided view, which the module copies once.
        if len(by_size.get((width, height), [])) % 2:
            source = numpy.concatenate([source, source], axis=1)[:, :width]
        result = trapezoid.correct(source, shape, difference, FILLS[mode], transparent,
                                   perspective, proportions, rect=rect, fg=FG, bg=BG)
        by_size.setdefault((width, height), []).append((words_of_rgba(result), digest))
    for results in by_size.values():
        got = fnv_digests([words for words, _ in results])
        assert list(got) == [digest for _, digest in results]


def test_rgb_and_uint16_give_the_rgba_pixels():
    rgba = rgba_of_words(engine_words(40, 30))
    rgba[..., 3] = 255
    expected = trapezoid.correct(rgba, 2, 37, "bg", bg=(9, 8, 7))
    assert (trapezoid.correct(rgba[..., :3], 2, 37, "bg", bg=(9, 8, 7)) == expected[..., :3]).all()
    wide = trapezoid.correct(rgba.astype(numpy.uint16) * 257, 2, 37, "bg", bg=(9, 8, 7))
    assert wide.dtype == numpy.uint16 and (wide == expected.astype(numpy.uint16) * 257).all()


def test_a_mask_keeps_the_unselected_pixels():
    rgba = rgba_of_words(engine_words(20, 20))
    mask = numpy.zeros((20, 20), numpy.uint8)
    mask[5:15, 4:16] = 1
    whole = trapezoid.correct(rgba, 0, 40, rect=(4, 5, 16, 15))
    masked = trapezoid.correct(rgba, 0, 40, mask=mask)
    assert (masked[mask == 1] == whole[mask == 1]).all()
    assert (masked[mask == 0] == rgba[mask == 0]).all()


IMAGE = numpy.zeros((8, 10, 3), numpy.uint8)
ERRORS = [
    (dict(image=IMAGE.astype(numpy.float32)), TypeError, "image must be a uint8 or uint16"),
    (dict(image=IMAGE[..., :2]), ValueError, "image must be H x W x 3"),
    (dict(image=IMAGE[0]), ValueError, "(10, 3)"),
    (dict(difference=101), ValueError, "difference must be in -100..100, not 101"),
    (dict(difference="5"), TypeError, "difference must be an int"),
    (dict(shape=6), ValueError, "shape must be in 0..5"),
    (dict(fill="grey"), ValueError, 'fill must be "edge"'),
    (dict(rect=(0, 0, 11, 8)), ValueError, "rect: rectangle 0,0,11,8 is outside the 10x8 image"),
    (dict(rect=(0, 0, 1)), ValueError, "rect must be (left, top, right, bottom)"),
    (dict(mask=numpy.zeros((8, 9), numpy.uint8)), ValueError, "mask must be H x W"),
    (dict(mask=numpy.zeros((8, 10), bool)), TypeError, "mask must be a uint8 array"),
    (dict(mask=numpy.zeros((8, 10), numpy.uint8)), ValueError, "selects no pixel"),
    (dict(fg=(1, 2)), ValueError, "fg must be (r, g, b)"),
    (dict(bg=(0, 0, 256)), ValueError, "bg must be (r, g, b)"),
    (dict(focal=0), ValueError, "focal must be in 8..800, not 0"),
]


@pytest.mark.parametrize("arguments, error, text", ERRORS)
def test_a_bad_argument_is_named(arguments, error, text):
    with pytest.raises(error) as raised:
        trapezoid.correct(**dict(dict(image=IMAGE, difference=10), **arguments))
    assert text in str(raised.value)


def test_memory_shortage_is_a_memory_error():
    huge = numpy.lib.stride_tricks.as_strided(numpy.zeros(4, numpy.uint8),
                                              (2**31 - 1, 2**20, 4), (0, 0, 1))
    with pytest.raises(MemoryError):
        trapezoid.correct(huge, difference=10)


def scene(lean):
    """A rendered facade: dark vertical bars on a light wall, leaning in by LEAN at the top."""
    height, width = 240, 320
    image = numpy.full((height, width, 3), 220, numpy.uint8)
    rows = numpy.arange(height)[:, None]
    columns = numpy.arange(width)[None, :]
    for x in range(40, 300, 40):
        # Converging towards the top: the bars lean towards the centre.
        centre = x + (x - width / 2) * lean * (height - rows) / height / (width / 2) * 40
        image[numpy.abs(columns - centre) < 4] = 30
    return image


def test_suggest_straightens_a_rendered_scene():
    found = trapezoid.suggest(scene(-0.5))
    assert found is not None and found[0] in (1, 2)
    assert trapezoid.suggest(numpy.full((60, 80, 3), 128, numpy.uint8)) is None


def test_threads_run_at_once_with_the_same_pixels():
    rgba = rgba_of_words(engine_words(400, 300))
    expected = trapezoid.correct(rgba, 1, 30)
    results = [None] * 4

    def run(i):
        results[i] = trapezoid.correct(rgba, 1, 30)

    threads = [threading.Thread(target=run, args=(i,)) for i in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert all((result == expected).all() for result in results)
