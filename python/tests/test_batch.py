"""python3 -m trapezoid.batch on a local cluster of two worker processes, against trapezoid run."""

import os
import signal
import subprocess
import sys
import time

import numpy
import psutil
import pytest

import trapezoid
from conftest import run_command

OPTIONS = ["--shape", "1", "--difference", "25", "--fill", "bg", "--jobs", "2"]


@pytest.fixture(scope="module")
def photo(tmp_path_factory, source_dir):
    """The demo's rendered photograph of a facade, as an RGB array."""
    path = tmp_path_factory.mktemp("sample") / "sample.png"
    subprocess.run([sys.executable, os.path.join(source_dir, "scripts", "make_sample.py"),
                    str(path), "320", "240"], check=True)
    return trapezoid.read(path)[0]


def write_photos(folder, photo, count, scale=1):
    """COUNT JPEGs, each a different crop of PHOTO enlarged SCALE times."""
    names = []
    for i in range(count):
        crop = photo[i % 7:200 + i % 7 + i % 3, 3 * i % 80:3 * i % 80 + 200 + i % 5]
        picture = numpy.repeat(numpy.repeat(crop, scale, axis=0), scale, axis=1)
        names.append(folder / ("photo%02d.jpg" % i))
        trapezoid.write(names[-1], picture, quality=90)
    return names


def batch(*arguments, **options):
    return subprocess.Popen([sys.executable, "-m", "trapezoid.batch"] + [str(a) for a in arguments],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, **options)


def expect_same_files(left, right):
    assert sorted(os.listdir(left)) == sorted(os.listdir(right))
    for name in os.listdir(left):
        assert (left / name).read_bytes() == (right / name).read_bytes(), name


def test_a_collection_gives_the_native_results_and_one_failure(tmp_path, photo, command):
    inputs = write_photos(tmp_path, photo, 40)
    damaged = tmp_path / "damaged.jpg"
    damaged.write_bytes(inputs[0].read_bytes()[:300])
    files = inputs[:20] + [damaged] + inputs[20:]
    started = time.monotonic()
    dask = batch(*files, "--out-dir", tmp_path / "dask", *OPTIONS)
    out, err = dask.communicate(timeout=300)
    took = time.monotonic() - started
    native = run_command(command, "run", *files, "--out-dir", tmp_path / "native", *OPTIONS)
    assert (dask.returncode, out) == (1, "40 done, 1 failed\n"), err
    assert native.returncode == 1 and native.stdout == out
    message = next(line for line in native.stderr.splitlines() if "error" in line)
    assert message.startswith("trapezoid: error: cannot read") and message in err.splitlines()
    expect_same_files(tmp_path / "dask", tmp_path / "native")
    print("40 photographs on the local cluster: %.1f s" % took)
    # Run again with --skip-done, nothing is redone; the damaged file fails again.
    again = batch(*files, "--out-dir", tmp_path / "dask", *OPTIONS, "--skip-done")
    out, err = again.communicate(timeout=300)
    assert out == "40 done, 1 failed\n" and err.count("left as it is") == 40


def worker_processes(process):
    """The local cluster's worker processes: forks of the batch's own."""
    batch = psutil.Process(process.pid)
    return [child for child in batch.children(recursive=True)
            if child.cmdline() == batch.cmdline()]


def test_a_worker_killed_mid_run_loses_no_file(tmp_path, photo, command):
    inputs = write_photos(tmp_path, photo, 12, scale=8)
    running = batch(*inputs, "--out-dir", tmp_path / "dask", *OPTIONS, "--auto")
    out_dir = tmp_path / "dask"
    while not (out_dir.exists() and any(name.endswith(".jpg") for name in os.listdir(out_dir))):
        assert running.poll() is None
        time.sleep(0.02)
    workers = worker_processes(running)
    assert len(workers) == 2
    os.kill(workers[0].pid, signal.SIGKILL)
    out, err = running.communicate(timeout=300)
    assert (running.returncode, out) == (0, "12 done, 0 failed\n"), err
    assert sorted(line.split()[2] for line in err.splitlines() if line.startswith(
        "trapezoid: [")) == sorted(path.name for path in inputs)
    run_command(command, "run", *inputs, "--out-dir", tmp_path / "native", *OPTIONS, "--auto",
                check=True)
    expect_same_files(out_dir, tmp_path / "native")


@pytest.mark.parametrize("arguments, message", [
    (["a.jpg", "a.jpg", "--out-dir", "out"], "the batch names one file twice"),
    (["a.jpg", "--out-dir", "."], "would replace it: give --in-place"),
    (["a.jpg", "--out-dir", "out", "--difference", "101"], "invalid difference"),
    (["a.jpg", "--out-dir", "out", "--scheduler"], "--scheduler needs an address"),
])
def test_refusals_before_any_work(tmp_path, arguments, message):
    (tmp_path / "a.jpg").write_bytes(b"")
    refused = batch(*arguments, cwd=tmp_path)
    out, err = refused.communicate(timeout=60)
    assert refused.returncode == 1 and out == "" and message in err
    assert not (tmp_path / "out").exists()
