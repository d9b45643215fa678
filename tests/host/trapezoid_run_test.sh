#!/usr/bin/env bash
# The real plug-in run by kvhost under Wine, as a user runs it: settings from the vxfilters.ini
# beside the DLL, a squeezed top row filled with white, unselected pixels kept with a mask, and
# the invalid-settings box answered, printed and the run refused, with and without a display;
# suggested straightening on the sample photograph and on noise, printed and saved by --auto;
# --crop cutting a photograph with restored proportions to its defined part, EXIF kept.
# Usage: trapezoid_run_test.sh KVHOST.exe TRAPEZOID.dll MAKE_SAMPLE.py (inside with_display.sh)
set -u
kvhost=$(realpath "$1")
sample=$(realpath "$3")
tool="python3 $(dirname "$(realpath "$0")")/png_tool.py"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$2" "$work/trapezoid.dll"
cd "$work" || exit 1
source "$(dirname "$(realpath "$0")")/checks.sh"
settings() {  # SHAPE DIFFERENCE FILL TRANSPARENT
    printf '[Trapezoid]\r\nshape=%s\r\ndifference=%s\r\nundefarea=%s\r\ntransparent=%s\r\n' \
        "$@" > vxfilters.ini
}
pixel() { $tool dump out.png | sed -n "$(($2 + 1))p" | cut -d' ' -f"$(($1 + 1))"; }

$tool solid red.png 20 10 FF0000FF
# Shape 1, difference 100: the top row keeps 2 of 20 pixels (t = 9.5), the last row 19 (t = 0.5).
settings 1 100 4 0
LANG=en_US.UTF-8 wine "$kvhost" run ./trapezoid.dll red.png out.png --quiet 2>err.txt
check "run succeeds" 0 $?
check "outside pixel is white" FFFFFFFF "$(pixel 0 0)"
check "outside pixel on the right is white" FFFFFFFF "$(pixel 19 0)"
check "middle of the last row stays red" FF0000FF "$(pixel 10 9)"
check "edge pixel of the last row is a blend" FF7F7FFF "$(pixel 0 9)"

settings 1 100 4 1
wine "$kvhost" run ./trapezoid.dll red.png out.png --quiet
check "transparent fill" FFFFFF00 "$(pixel 0 0)"

# The selection is the right half: the left half keeps its pixels.
$tool mask half.png 20 10 10,0,20,10 255
settings 0 60 5 0
wine "$kvhost" run ./trapezoid.dll red.png out.png --quiet --mask half.png
check "unselected pixel kept" FF0000FF "$(pixel 2 0)"
check "selected outside pixel black" 000000FF "$(pixel 10 0)"

# Straightening: the sample photograph's verticals converge towards the top, so the top row is
# to be stretched (shape 1, a negative difference); noise has no lines, nor has the sky alone.
python3 "$sample" photo.png 480 360
$tool noise noise.png 160 100
$tool mask sky.png 480 360 0,0,480,20 255
settings 1 0 0 0
cp vxfilters.ini before.ini
suggest() {  # ARGS...: kvhost suggest's exit code and stdout
    wine "$kvhost" suggest ./trapezoid.dll "$@" >out.txt </dev/null
    echo "$? $(tr -d '\r' <out.txt)"
}
result=$(suggest photo.png)
[[ "$result" =~ ^0\ (shape=1\ difference=-([0-9]+))$ ]] &&
    ((BASH_REMATCH[2] >= 40 && BASH_REMATCH[2] <= 75)) && passed=$((passed + 1)) ||
    { failed=$((failed + 1)); echo "FAIL: suggest on the sample: '$result'"; }
suggestion=${BASH_REMATCH[1]:-}
check "suggest on noise" "3 kvhost: no straight lines found" "$(suggest noise.png)"
check "suggest on the sky alone" "3 kvhost: no straight lines found" \
    "$(suggest photo.png --mask sky.png)"
cmp -s before.ini vxfilters.ini
check "suggest saves nothing" 0 $?

# A batch with --auto: the photograph run with its suggestion, saved beside the DLL with the
# other keys kept; the noise run on with the settings as they were, in one line.
mkdir auto && wine "$kvhost" run ./trapezoid.dll photo.png plain.png --quiet
wine "$kvhost" run ./trapezoid.dll photo.png noise.png --out-dir auto --auto --quiet \
    >out.txt 2>err.txt
check "--auto batch done" "0 2 done, 0 failed" "$? $(tr -d '\r' <out.txt)"
check "--auto says when it finds nothing" \
    'kvhost: "noise.png": no straight lines found, settings left as they are' \
    "$(tr -d '\r' <err.txt)"
check "--auto saves the suggestion, other keys kept" \
    "$(printf '[Trapezoid]\nshape=1\n%s\nundefarea=0\ntransparent=0' "${suggestion#shape=1 }")" \
    "$(tr -d '\r' <vxfilters.ini)"
cmp -s plain.png auto/photo.png
check "--auto changes the output" 1 $?

# --crop: the result cut to what the settings leave defined, whatever the fill's colour, the
# photograph's EXIF kept with the cropped size and the size reported; nothing undefined, nothing cut.
settings 1 0 0 0
wine "$kvhost" run ./trapezoid.dll photo.png photo.jpg --quiet
exiftool -q -overwrite_original -Make=Kvhost -ExifImageWidth=480 -ExifImageHeight=360 photo.jpg
printf '[Trapezoid]\r\nshape=1\r\ndifference=40\r\nundefarea=4\r\nperspective=1\r\nproportions=1\r\n' \
    >vxfilters.ini
wine "$kvhost" run ./trapezoid.dll photo.jpg cropped.jpg --crop 2>err.txt
[[ "$?:$(tr -d '\r' <err.txt)" =~ ^0:kvhost:\ \"photo.jpg\":\ cropped\ to\ ([0-9]+)x([0-9]+)$ ]] &&
    ((BASH_REMATCH[1] < 480 && BASH_REMATCH[2] <= 360)) && passed=$((passed + 1)) ||
    { failed=$((failed + 1)); echo "FAIL: --crop reports its size: '$(cat err.txt)'"; }
check "--crop keeps EXIF with the cropped size" \
    "Kvhost ${BASH_REMATCH[1]:-} ${BASH_REMATCH[2]:-} ${BASH_REMATCH[1]:-} ${BASH_REMATCH[2]:-}" \
    "$(exiftool -s3 -n -Make -ExifImageWidth -ExifImageHeight -ImageWidth -ImageHeight cropped.jpg | xargs)"
wine "$kvhost" run ./trapezoid.dll photo.png out.png --crop --quiet
check "--crop leaves no white fill in a corner" 0 "$(pixel 0 0 | grep -c FFFFFFFF)"
settings 1 -30 4 0
wine "$kvhost" run ./trapezoid.dll photo.png out.png --crop 2>err.txt
check "--crop with nothing undefined" 'kvhost: "photo.png": cropped to 480x360' \
    "$(tr -d '\r' <err.txt)"

# A refused run (difference 150): the box printed, exit 2, no output file. With the shared X
# display, without any display, and on a cold start of Wine without a display.
settings 1 150 4 0
refused() {  # NAME, then the command's environment changes
    local name=$1
    shift
    rm -f out.png
    env "$@" LANG=en_US.UTF-8 wine "$kvhost" run ./trapezoid.dll red.png out.png --quiet \
        </dev/null >out.txt 2>err.txt
    check "$name: exit 2" 2 $?
    # Lines that start "wine: " are the loader's own notices, such as a crash report from one of
    # the services a cold start launches, which share this error stream; they are not kvhost's.
    check "$name: the box is printed" \
        'kvhost: message box "error": There is invalidate value in the initialization file. vxfilters.ini: difference=150, allowed -100 to 100' \
        "$(tr -d '\r' <err.txt | grep -v '^wine: ')"
    check "$name: no output" "" "$(ls out.png 2>/dev/null)"
}
refused "with a display"
refused "without a display" -u DISPLAY
wineserver -k
refused "cold start without a display" -u DISPLAY
# Back to a server that has the display and stays up between programs, as the tests after this
# one expect: a server that exits a few seconds after its last program races the next one to
# start, which then fails with "Connection reset by peer". Its services start apart from the
# test's output.
wineserver -k
wineserver -p >/dev/null 2>&1 || true
wine cmd /c exit >/dev/null 2>&1 </dev/null

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
