#!/usr/bin/env bash
# Builds everything and runs every test: the native engine tests (also under AddressSanitizer
# and UBSan), then the plug-in DLL and kvhost under Wine on one virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc)
cmake -S . -B build/native -DTRAPEZOID_WERROR=ON >/dev/null
cmake --build build/native -j"$jobs"
cmake -S . -B build/asan -DTRAPEZOID_WERROR=ON -DTRAPEZOID_SANITIZE=ON \
    -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/asan -j"$jobs" --target core_tests
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" \
    -DTRAPEZOID_WERROR=ON >/dev/null
cmake --build build/win32 -j"$jobs"

status=0
echo "== native engine tests"
ctest --test-dir build/native --output-on-failure -j"$jobs" || status=1
echo "== native engine tests under AddressSanitizer and UBSan"
build/asan/core_tests --gtest_brief=1 || status=1
echo "== fuzz targets, a few thousand executions each"
scripts/fuzz.sh --smoke || status=1
echo "== plug-in DLL and kvhost under Wine"
scripts/with_display.sh ctest --test-dir build/win32 --output-on-failure || status=1
exit $status
