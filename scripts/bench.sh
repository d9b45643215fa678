#!/usr/bin/env bash
# Benchmarks, optimised: the transform pass in ns per pixel against a plain copy of the same image,
# natively and in the real plug-in DLL under Wine, then the preview paint against the pass and the
# dialog's selection scan against a plain read of its mask.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/native -DTRAPEZOID_WERROR=ON >/dev/null
cmake --build build/native -j"$(nproc)" --target transform_bench preview_bench
# The pass ratios take the least of five runs of the pass and of the copy.
build/native/transform_bench --benchmark_min_time=0.5 --benchmark_repetitions=5 "$@"
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
    -DTRAPEZOID_WERROR=ON >/dev/null
cmake --build build/win32 -j"$(nproc)" --target dll_bench
scripts/with_display.sh wine build/win32/dll_bench.exe build/win32/trapezoid.dll
# The preview's ratios take the worst of several figures: medians of five runs steady them.
build/native/preview_bench --benchmark_min_time=1 --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true "$@"
