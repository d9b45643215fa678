#!/usr/bin/env bash
# Builds the fuzz targets (clang's libFuzzer with AddressSanitizer and UBSan) and runs each for a
# fixed number of executions: at least 2 million each and 10 million in all, or a few thousand
# each with --smoke. Prints one line per target and a total; any crash or sanitizer report fails
# the run and leaves its input in build/fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

min_each=2000000
min_total=10000000
if [ "${1:-}" = "--smoke" ]; then min_each=3000; min_total=0; fi

build=build/fuzz
targets=()
for source in fuzz/*_fuzz.cpp; do
    name=$(basename "$source" _fuzz.cpp)
    targets+=("$name")
done
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++-14 -DTRAPEZOID_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}" >/dev/null

runs=$(( (min_total + ${#targets[@]} - 1) / ${#targets[@]} ))
[ "$runs" -lt "$min_each" ] && runs=$min_each
mkdir -p "$build/crashes"
total_execs=0
total_crashes=0
for name in "${targets[@]}"; do
    work="$build/work/$name"   # inputs found by this machine; the committed seeds stay as they are
    mkdir -p "$work"
    log="$build/$name.log"
    before=$(ls "$build/crashes" | grep -c "^$name-" || true)
    set +e
    "$build/fuzz_$name" -runs="$runs" -seed=1 -max_len=4200 -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$build/crashes/$name-" "$work" "fuzz/corpus/$name" >"$log" 2>&1
    rc=$?
    set -e
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    after=$(ls "$build/crashes" | grep -c "^$name-" || true)
    crashes=$((after - before))
    [ "$rc" -ne 0 ] && [ "$crashes" -eq 0 ] && crashes=1   # a report without a saved input
    echo "fuzz $name: ${execs:-0} execs, $crashes crashes"
    [ "$crashes" -gt 0 ] && echo "  see $log" >&2
    total_execs=$((total_execs + ${execs:-0}))
    total_crashes=$((total_crashes + crashes))
done
echo "fuzz total: $total_execs execs, $total_crashes crashes"
[ "$total_crashes" -eq 0 ]
