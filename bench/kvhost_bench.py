#!/usr/bin/python3
"""Whole kvhost runs on a 6000 x 4000 photograph against OpenCV reading and writing the same
file in the same run: PNG to PNG, and JPEG to JPEG at quality 92. Prints the median times and
`ratio kvhost-png-vs-opencv: R` and `ratio kvhost-jpeg-vs-opencv: R` (kvhost's median over
OpenCV's). Then a batch of 8 JPEGs of 3000 x 2000 with --jobs 2 against --jobs 1, the least
of the interleaved runs of each: `ratio kvhost-batch-jobs2-vs-jobs1: R`. Runs inside
scripts/with_display.sh (Debian's python3 for its OpenCV).

  kvhost_bench.py KVHOST.exe TRAPEZOID.dll WORKDIR [RUNS]
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

import cv2
import numpy as np


def photograph(width, height):
    """Smooth shapes under sensor noise: compresses about as a camera picture does."""
    rng = np.random.default_rng(1)
    y, x = np.mgrid[0:height, 0:width].astype(np.float32)
    image = np.empty((height, width, 3), np.float32)
    for c in range(3):
        image[..., c] = (128 + 60 * np.sin(x / (300 + 50 * c)) * np.cos(y / (200 + 30 * c)) +
                         30 * np.sin((x + y) / 37.0))
    image += rng.normal(0, 4, image.shape).astype(np.float32)
    return np.clip(image, 0, 255).astype(np.uint8)


def kvhost_seconds(kvhost, source, target):
    start = time.perf_counter()
    subprocess.run(["wine", kvhost, "run", "./trapezoid.dll", source, target, "--quiet"],
                   check=True)
    return time.perf_counter() - start


def opencv_seconds(source, target):
    start = time.perf_counter()
    cv2.imwrite(target, cv2.imread(source))
    return time.perf_counter() - start


def batch_seconds(kvhost, sources, jobs):
    out = "batch%d" % jobs
    shutil.rmtree(out, ignore_errors=True)
    start = time.perf_counter()
    subprocess.run(["wine", kvhost, "run", "./trapezoid.dll", *sources, "--out-dir", out,
                    "--jobs", str(jobs), "--quiet"], check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def batch_ratio(kvhost, runs):
    """8 JPEGs of 3000 x 2000: --jobs 2 over --jobs 1, the least of RUNS interleaved runs."""
    image = photograph(3000, 2000)
    sources = ["batch_%d.jpg" % i for i in range(8)]
    for source in sources:
        cv2.imwrite(source, image, [cv2.IMWRITE_JPEG_QUALITY, 92])
    times = {1: [], 2: []}
    for _ in range(runs):
        for jobs in times:
            times[jobs].append(batch_seconds(kvhost, sources, jobs))
    for jobs, seconds in times.items():
        print("kvhost batch of 8 3000x2000 JPEGs, --jobs %d: min %.2f s, median %.2f s" %
              (jobs, min(seconds), statistics.median(seconds)))
    print("ratio kvhost-batch-jobs2-vs-jobs1: %.2f" % (min(times[2]) / min(times[1])))


def main(kvhost, plugin, work, runs="5"):
    os.makedirs(work, exist_ok=True)
    shutil.copy(plugin, os.path.join(work, "trapezoid.dll"))
    os.chdir(work)
    with open("vxfilters.ini", "w", newline="\r\n") as settings:
        settings.write("[Trapezoid]\nshape=1\ndifference=-30\nundefarea=0\ntransparent=0\n")
    image = photograph(6000, 4000)
    cv2.imwrite("photo.png", image)
    cv2.imwrite("photo.jpg", image, [cv2.IMWRITE_JPEG_QUALITY, 92])
    for name, source, target in (("png", "photo.png", "out.png"), ("jpeg", "photo.jpg", "out.jpg")):
        ours, peer = [], []
        for _ in range(int(runs)):  # interleaved, so that both see the same load
            ours.append(kvhost_seconds(kvhost, source, "kvhost_" + target))
            peer.append(opencv_seconds(source, "opencv_" + target))
        print("kvhost %s 6000x4000: median %.2f s, min %.2f s" %
              (name, statistics.median(ours), min(ours)))
        print("opencv %s 6000x4000: median %.2f s, min %.2f s" %
              (name, statistics.median(peer), min(peer)))
        print("ratio kvhost-%s-vs-opencv: %.2f" % (name, statistics.median(ours) /
                                                    statistics.median(peer)))
        sys.stdout.flush()
    batch_ratio(kvhost, int(runs))


if __name__ == "__main__":
    main(*sys.argv[1:])
