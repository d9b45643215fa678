#!/usr/bin/env python3
"""The Python module and the collection on Dask against the native engine and command.

  python_bench.py PASS_TIME TRAPEZOID WORKDIR

ratio python-correct-vs-native: trapezoid.correct on a 6000 x 4000 RGBA array over the C++
pass on the same picture (PASS_TIME: the result copied, then the pass), least of five runs each,
interleaved. ratio dask-local-vs-jobs: the 16 JPEGs of 6000 x 4000 that native_jpeg_bench left in
WORKDIR through python3 -m trapezoid.batch on a local cluster of 2 workers over trapezoid run
--jobs 2, least of three runs each, interleaved.
"""

import glob
import os
import subprocess
import sys
import time

import numpy

import trapezoid

RUNS = 5


def least_correct(image):
    least = float("inf")
    for _ in range(RUNS):
        start = time.perf_counter()
        trapezoid.correct(image, shape=1, difference=-30)
        least = min(least, time.perf_counter() - start)
    return least


def elapsed(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    pass_time, command, work = sys.argv[1:4]
    random = numpy.random.default_rng(7)
    image = random.integers(0, 256, (4000, 6000, 4), dtype=numpy.uint8)
    raw = os.path.join(work, "pass.rgba")
    image.tofile(raw)
    python = native = float("inf")
    for _ in range(2):
        python = min(python, least_correct(image))
        native = min(native, float(subprocess.run([pass_time, raw, "6000", "4000", str(RUNS)],
                                                  check=True, capture_output=True,
                                                  text=True).stdout))
    os.unlink(raw)
    print("correct on 6000 x 4000 RGBA: %.3f s, the C++ pass: %.3f s" % (python, native))
    print("ratio python-correct-vs-native: %.2f" % (python / native))

    photos = sorted(glob.glob(os.path.join(work, "batch*.jpg")))
    options = ["--shape", "1", "--difference", "-30", "--quiet", "--jobs", "2"]
    dask = jobs = float("inf")
    for _ in range(3):
        jobs = min(jobs, elapsed([command, "run", *photos, "--out-dir",
                                  os.path.join(work, "out-jobs"), *options]))
        dask = min(dask, elapsed([sys.executable, "-m", "trapezoid.batch", *photos,
                                  "--out-dir", os.path.join(work, "out-dask"), *options]))
    print("batch of %d through Dask on 2 local workers: %.3f s, trapezoid run --jobs 2: %.3f s"
          % (len(photos), dask, jobs))
    print("ratio dask-local-vs-jobs: %.2f" % (dask / jobs))


if __name__ == "__main__":
    main()
