#!/usr/bin/env bash
# Builds the native command, the plug-in and kvhost, draws a sample photograph, straightens it
# with the native trapezoid command (no Wine), and runs the Trapezoid filter on it through kvhost
# under Wine for a few settings, and straightened by the settings the plug-in suggests for it
# under each profile; then a tall facade photographed from below, straightened three ways
# (classic, perspective, perspective with the proportions restored) and cropped to what the
# third leaves defined. Results: PNGs under out/.
set -euo pipefail
cd "$(dirname "$0")/.."

# One filter run: NAME SHAPE DIFFERENCE FILL TRANSPARENT PERSPECTIVE [kvhost options...]. The
# settings shown are read back from the file: with --auto the plug-in has replaced shape and
# difference.
run() {
    local name=$1 shape=$2 difference=$3 fill=$4 transparent=$5 perspective=$6
    shift 6
    printf '[Trapezoid]\r\nshape=%s\r\ndifference=%s\r\nundefarea=%s\r\ntransparent=%s\r\npreview=0\r\nperspective=%s\r\n' \
        "$shape" "$difference" "$fill" "$transparent" "$perspective" > out/plugin/vxfilters.ini
    wine build/win32/kvhost.exe run out/plugin/trapezoid.dll out/sample.png "out/$name.png" \
        --quiet "$@"
    shape=$(tr -d '\r' <out/plugin/vxfilters.ini | sed -n 's/^shape=//p')
    difference=$(tr -d '\r' <out/plugin/vxfilters.ini | sed -n 's/^difference=//p')
    echo "demo: out/$name.png (shape $shape, difference $difference, fill $fill," \
         "transparent $transparent, perspective $perspective${*:+, $*})"
}

# The facade straightened as the plug-in suggests: NAME PERSPECTIVE PROPORTIONS [kvhost options...],
# the lens 28 mm as the photograph's, the uncovered area white.
facade() {
    local name=$1 perspective=$2 proportions=$3
    shift 3
    printf '[Trapezoid]\r\nshape=1\r\ndifference=0\r\nundefarea=4\r\ntransparent=0\r\npreview=0\r\nperspective=%s\r\nproportions=%s\r\nfocal=28\r\n' \
        "$perspective" "$proportions" > out/plugin/vxfilters.ini
    wine build/win32/kvhost.exe run out/plugin/trapezoid.dll out/facade.png "out/$name.png" \
        --quiet --auto "$@"
    echo "demo: out/$name.png (perspective $perspective, proportions $proportions," \
         "$(tr -d '\r' <out/plugin/vxfilters.ini | grep -E '^(shape|difference)=' | xargs)${*:+, $*})"
}

if [ "${1:-}" = "--runs" ]; then
    wine build/win32/kvhost.exe info out/plugin/trapezoid.dll
    run keystone-fixed 1 -58 0 0 0 --rect 0,29,480,331
    run straightened-auto 1 0 0 0 0 --auto
    run straightened-parallel 1 0 0 0 1 --auto
    run top-squeezed-white 1 30 4 0 0
    run left-right-transparent 3 40 5 1 0
    run top-bottom-source 0 -50 1 0 0 --rect 120,60,360,300
    run bottom-foreground 2 45 2 0 0 --fg 20A040
    facade facade-classic 0 0
    facade facade-straight-sides 1 0
    facade facade-proportions 1 1
    facade facade-proportions-cropped 1 1 --crop
    exit 0
fi

scripts/setup.sh
cmake -S . -B build/native >/dev/null
cmake --build build/native -j"$(nproc)" --target trapezoid_command
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake" >/dev/null
cmake --build build/win32 -j"$(nproc)" --target trapezoid kvhost
mkdir -p out/plugin
cp build/win32/trapezoid.dll out/plugin/
python3 scripts/make_sample.py out/sample.png
echo "demo: out/sample.png (the source)"
python3 scripts/make_facade.py out/facade.png
echo "demo: out/facade.png (the facade's source)"
build/native/trapezoid run out/sample.png out/native-straightened.png --auto --quiet
echo "demo: out/native-straightened.png (build/native/trapezoid --auto, the perspective profile)"
scripts/with_display.sh "$0" --runs
