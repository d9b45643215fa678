#!/usr/bin/env bash
# Builds the plug-in and the soak program, and runs the long soak under Wine: 300 setup dialogs,
# 300 runs on a 2000 x 1500 image and 200 reloads in one process. Prints
# "soak: N dialogs, N runs, N reloads; handles +0, windows +0, GDI +0, private bytes +K KiB" and
# fails if anything grew.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
    -DTRAPEZOID_WERROR=ON >/dev/null
cmake --build build/win32 -j2 --target trapezoid soak >/dev/null
scripts/with_display.sh wine build/win32/soak.exe "$@"
