#!/usr/bin/env bash
# Benchmarks, native and optimised: the transform pass in ns per pixel against a plain copy of the
# same image, then the preview paint against the pass and the dialog's selection scan against a
# plain read of its mask.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/native -DTRAPEZOID_WERROR=ON >/dev/null
cmake --build build/native -j"$(nproc)" --target transform_bench preview_bench
build/native/transform_bench --benchmark_min_time=1 "$@"
# The preview's ratios take the worst of several figures: medians of five runs steady them.
build/native/preview_bench --benchmark_min_time=1 --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true "$@"
# The straightening suggestion against one pass of the same 6000 x 4000 image: fastest of three.
cmake --build build/native -j"$(nproc)" --target straighten_bench
build/native/straighten_bench --benchmark_min_time=1 --benchmark_repetitions=3 "$@"
