#!/usr/bin/env bash
# Benchmarks, optimised: the transform pass in ns per pixel against a plain copy of the same image,
# natively and in the real plug-in DLL under Wine, then the preview paint against the pass and the
# dialog's selection scan against a plain read of its mask.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/native -DTRAPEZOID_WERROR=ON >/dev/null
cmake --build build/native -j"$(nproc)" --target transform_bench preview_bench
# The pass ratios take the least of five runs of the pass and of the copy, the runs of all of them
# interleaved so that each meets the same neighbours.
build/native/transform_bench --benchmark_min_time=0.5 --benchmark_repetitions=5 \
    --benchmark_enable_random_interleaving=true "$@"
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
    -DTRAPEZOID_WERROR=ON >/dev/null
cmake --build build/win32 -j"$(nproc)" --target dll_bench
scripts/with_display.sh wine build/win32/dll_bench.exe build/win32/trapezoid.dll
# The preview's ratios take the worst of several figures, each the fastest single paint, pass or
# scan of ten runs, the runs of all of them interleaved so that each meets the same neighbours.
build/native/preview_bench --benchmark_min_time=0.1 --benchmark_repetitions=10 \
    --benchmark_enable_random_interleaving=true "$@"
# The straightening suggestion against one pass of the same 6000 x 4000 image: fastest of three.
cmake --build build/native -j"$(nproc)" --target straighten_bench
build/native/straighten_bench --benchmark_min_time=1 --benchmark_repetitions=3 "$@"
# kvhost on a 6000 x 4000 photograph against OpenCV reading and writing the same file. The peer
# comes from Debian's python3-opencv, installed here only: the tests do not need it.
if ! dpkg-query -W -f='${Status}' python3-opencv 2>/dev/null | grep -q 'ok installed'; then
    as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
    as_root apt-get update -qq >/dev/null || true  # one index missing: the install says
    # As in setup.sh: a mirror caught mid-sync leaves the release's own versions to agree.
    opencv() { as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        --no-install-recommends "$@" python3-opencv >/dev/null; }
    opencv || { . /etc/os-release && opencv -t "$VERSION_CODENAME"; }
fi
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" >/dev/null
cmake --build build/win32 -j"$(nproc)" --target kvhost trapezoid
scripts/with_display.sh /usr/bin/python3 bench/kvhost_bench.py "$PWD/build/win32/kvhost.exe" \
    "$PWD/build/win32/trapezoid.dll" "$PWD/build/kvhost_bench"
# The native command on a 6000 x 4000 JPEG against libjpeg-turbo's own decode and encode of it:
# the least of five interleaved runs of each.
cmake --build build/native -j"$(nproc)" --target trapezoid_command native_jpeg_bench
mkdir -p build/native_bench
build/native/native_jpeg_bench "$PWD/build/native/trapezoid" build/native_bench 5
# The Python module's correct against the C++ pass on a 6000 x 4000 picture, and the batch of 16
# JPEGs above through Dask on a local cluster of two workers against trapezoid run --jobs 2.
cmake --build build/native -j"$(nproc)" --target pass_time trapezoid_python
PYTHONPATH="$PWD/build/native/python" /usr/bin/python3 bench/python_bench.py \
    build/native/pass_time "$PWD/build/native/trapezoid" build/native_bench
