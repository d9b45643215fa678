"""A collection corrected on Dask's distributed scheduler, one task for each file.

    python3 -m trapezoid.batch INPUTS... --out-dir DIR [trapezoid run's options]
        [--scheduler ADDRESS] [--skip-done]

Without --scheduler, a local cluster of one worker process for each processor (--jobs N: N).
The files are checked as ``trapezoid run`` checks a batch before any work; each task reads,
corrects and writes one file, its result written beside its place and moved there only when
complete; a task lost with its worker is run again by the scheduler. Inputs and outputs are
paths every worker sees, or URLs that fsspec opens (s3://, gcs://, ...). Prints each file as it
finishes and "N done, M failed"; exits 0 when none failed, 1 otherwise.
"""

import contextlib
import glob
import os
import shutil
import sys
import tempfile

from . import _engine

USAGE = ("usage: python3 -m trapezoid.batch IN... --out-dir DIR [trapezoid run's options] "
         "[--scheduler ADDRESS] [--skip-done]")


def is_url(path):
    return "://" in path


def split_arguments(arguments):
    """(the run's arguments, the scheduler's address or None, skip-done, local workers)."""
    run, scheduler, skip_done, workers = [], None, False, os.cpu_count() or 1
    items = iter(arguments)
    for item in items:
        if item == "--scheduler" or item.startswith("--scheduler="):
            scheduler = item.partition("=")[2] or next(items, None)
            if not scheduler:
                raise ValueError("--scheduler needs an address (tcp://HOST:8786)")
        elif item == "--skip-done":
            skip_done = True
        else:
            run.append(item)
            if item == "--jobs" or item.startswith("--jobs="):
                value = item.partition("=")[2] or next(items, "")
                run[-1:] = ["--jobs", value]
                workers = int(value) if value.isdigit() else workers
    return run, scheduler, skip_done, workers


def make_output_folder(out_dir):
    if is_url(out_dir):
        import fsspec
        fs, path = fsspec.core.url_to_fs(out_dir)
        fs.makedirs(path, exist_ok=True)
    elif os.path.exists(out_dir) and not os.path.isdir(out_dir):
        raise ValueError('--out-dir "%s" is a file, not a folder' % out_dir)
    else:
        os.makedirs(out_dir, exist_ok=True)


def exists(path):
    if is_url(path):
        import fsspec
        fs, inner = fsspec.core.url_to_fs(path)
        return fs.exists(inner)
    return os.path.exists(path)


def out_dir_of(arguments):
    return arguments[arguments.index("--out-dir") + 1] if "--out-dir" in arguments else next(
        a.partition("=")[2] for a in arguments if a.startswith("--out-dir="))


def run_through_local_files(arguments, source, target):
    """The run of URL SOURCE or TARGET on local copies, the result put in one piece."""
    import fsspec
    with tempfile.TemporaryDirectory(prefix="trapezoid-") as folder:
        local_in = source
        if is_url(source):
            local_in = os.path.join(folder, "in-" + os.path.basename(source))
            fsspec.open(source).fs.get(source, local_in)
        local_out = os.path.join(folder, "out-" + os.path.basename(target)) if is_url(
            target) else target
        try:
            lines = _engine.run_one(arguments, local_in, local_out)
        except Exception as error:
            raise type(error)(str(error).replace(local_in, source).replace(local_out, target))
        if local_out != target:
            fsspec.open(target).fs.put(local_out, target)
        return [line.replace(local_in, source) for line in lines]


def correct_file(arguments, source, target):
    """One task: SOURCE corrected into TARGET. Returns (failed, lines): its outcome."""
    try:
        if is_url(source) or is_url(target):
            return False, run_through_local_files(arguments, source, target)
        # A worker that died while writing this result left its temporary file beside it.
        for stale in glob.glob(glob.escape(target) + ".??????"):
            os.unlink(stale)
        return False, _engine.run_one(arguments, source, target)
    except MemoryError:
        return True, ['error: "%s": out of memory' % source]
    except Exception as error:
        return True, ["error: %s" % error]


@contextlib.contextmanager
def connected(scheduler, workers):
    """A client of SCHEDULER, else of a local cluster of WORKERS processes, closed after."""
    import dask
    from distributed import Client, LocalCluster
    if scheduler:
        with Client(scheduler) as client:
            yield client
        return
    # Forked workers start in a tenth of the time of fresh interpreters, and hold nothing yet
    # that a fork could break: the engine keeps no global state.
    dask.config.set({"distributed.worker.multiprocessing-method": "fork"})
    with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        yield client


def run_collection(plan, arguments, scheduler, skip_done, workers):
    """Runs the planned (input, output) pairs; prints as they finish; returns the exit code."""
    from distributed import as_completed
    done = failed = finished = 0
    count = len(plan)

    def report(index, lines):
        nonlocal finished
        finished += 1
        print("trapezoid: [%d/%d] %s" % (finished, count, os.path.basename(plan[index][0])),
              file=sys.stderr)
        for line in lines:
            print("trapezoid: " + line, file=sys.stderr)

    waiting = []
    for index, (source, target) in enumerate(plan):
        if skip_done and exists(target):
            done += 1
            report(index, ['"%s" is there already: left as it is' % target])
        else:
            waiting.append(index)
    if waiting:
        with connected(scheduler, workers) as client:
            futures = {client.submit(correct_file, arguments, plan[i][0], plan[i][1],
                                     key="trapezoid-%d-%s" % (i, os.path.basename(plan[i][0])),
                                     pure=False): i for i in waiting}
            for future in as_completed(futures):
                file_failed, lines = future.result()
                failed += file_failed
                done += not file_failed
                report(futures[future], lines)
    print("%d done, %d failed" % (done, failed))
    return 0 if failed == 0 else 1


def main(arguments=None):
    arguments = sys.argv[1:] if arguments is None else arguments
    if not arguments or arguments[0] in ("-h", "--help"):
        print(USAGE)
        print(__doc__.split("\n\n", 2)[2].strip())
        return 0 if arguments else 1
    try:
        run, scheduler, skip_done, workers = split_arguments(arguments)
        plan = _engine.plan_batch(run)
        make_output_folder(out_dir_of(run))
    except (ValueError, OSError) as error:
        print("trapezoid: error: %s" % error, file=sys.stderr)
        refused = str(error).startswith("the filter refused the run")
        return 2 if refused else 1
    return run_collection(plan, run, scheduler, skip_done, workers)


if __name__ == "__main__":
    sys.exit(main())
