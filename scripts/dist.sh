#!/usr/bin/env bash
# The release: builds the plug-in and kvhost as the tests build them (installing what is missing)
# and packs dist/trapezoid-VERSION-win32.zip and dist/SHA256SUMS, the archive's time that of the
# last commit.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
    -DTRAPEZOID_WERROR=ON >/dev/null
cmake --build build/win32 -j"$(nproc)" --target trapezoid kvhost
python3 scripts/dist.py build/win32 build/libjpeg-turbo dist "$(git log -1 --format=%ct)"
