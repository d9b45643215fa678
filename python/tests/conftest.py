"""Shared helpers of the Python tests: the engine's generated pictures and the command."""

import os
import subprocess

import numpy
import pytest

GOLDEN = numpy.uint64(0x9E3779B97F4A7C15)


def engine_words(width, height):
    """The engine tests' deterministic pixels (BGRA words), every channel varied."""
    with numpy.errstate(over="ignore"):
        start = GOLDEN * numpy.uint64(width * 131 + height)
        z = start + GOLDEN * numpy.arange(1, width * height + 1, dtype=numpy.uint64)
        z = (z ^ (z >> numpy.uint64(30))) * numpy.uint64(0xBF58476D1CE4E5B9)
        z = (z ^ (z >> numpy.uint64(27))) * numpy.uint64(0x94D049BB133111EB)
        z = z ^ (z >> numpy.uint64(31))
    return (z & numpy.uint64(0xFFFFFFFF)).astype(numpy.uint32).reshape(height, width)


def rgba_of_words(words):
    """BGRA words as an RGBA array."""
    return words.view(numpy.uint8).reshape(words.shape + (4,))[..., [2, 1, 0, 3]].copy()


def words_of_rgba(rgba):
    return numpy.ascontiguousarray(rgba[..., [2, 1, 0, 3]]).view(numpy.uint32)[..., 0]


def fnv_digests(pictures):
    """The engine tests' FNV-1a digest of each of PICTURES' word bytes, all of one size."""
    data = numpy.stack([numpy.ascontiguousarray(p).view(numpy.uint8).ravel() for p in pictures])
    digest = numpy.full(len(pictures), 0xCBF29CE484222325, dtype=numpy.uint64)
    prime = numpy.uint64(0x100000001B3)
    with numpy.errstate(over="ignore"):
        for column in data.T:
            digest = (digest ^ column.astype(numpy.uint64)) * prime
    return digest


@pytest.fixture(scope="session")
def command():
    """The native trapezoid command."""
    return os.environ["TRAPEZOID_COMMAND"]


@pytest.fixture(scope="session")
def source_dir():
    return os.environ.get("TRAPEZOID_SOURCE_DIR",
                          os.path.join(os.path.dirname(__file__), "..", ".."))


def run_command(*arguments, **options):
    return subprocess.run([str(a) for a in arguments], capture_output=True, text=True, **options)
