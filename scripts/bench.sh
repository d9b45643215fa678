#!/usr/bin/env bash
# Benchmarks of the transform pass, native and optimised: ns per pixel and the ratio of each
# figure to a plain copy of the same image.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/native -DTRAPEZOID_WERROR=ON >/dev/null
cmake --build build/native -j"$(nproc)" --target transform_bench
build/native/transform_bench --benchmark_min_time=1 "$@"
