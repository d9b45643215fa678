#!/usr/bin/env bash
# End-to-end test of kvhost under Wine: runs the host with the probe plug-in on generated PNGs and
# checks its output, its pixels, its message-box answers and its one-line errors.
# Usage: kvhost_test.sh KVHOST.exe PROBE_PLUGIN.dll   (inside scripts/with_display.sh)
set -u
kvhost=$(realpath "$1")
probe=$(realpath "$2")
tool="python3 $(dirname "$(realpath "$0")")/png_tool.py"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
cp "$probe" probe_plugin.dll
# Without a settings file beside the plug-in kvhost warns that the filter runs on its defaults;
# the runs below have one.
printf '[Trapezoid]\r\n' >vxfilters.ini

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "PASS: $1"; }
fail() { failed=$((failed + 1)); echo "FAIL: $1"; }

# kvhost ARGS...: runs the host; leaves its stdout and stderr (without \r) and its exit code
# in out, err and rc.
kvhost() {
    timeout 60 wine "$kvhost" "$@" >stdout.txt 2>stderr.txt
    rc=$?
    out=$(tr -d '\r' <stdout.txt)
    err=$(tr -d '\r' <stderr.txt)
}

# expect_same NAME EXPECTED ACTUAL
expect_same() {
    if [ "$2" == "$3" ]; then pass "$1"; else
        fail "$1"; diff <(echo "$2") <(echo "$3") | sed 's/^/    /'
    fi
}

# expect_run NAME EXPECTED_DUMP ARGS...: a successful run that writes out.png with those pixels.
expect_run() {
    local name=$1 expected=$2
    shift 2
    rm -f out.png
    kvhost run ./probe_plugin.dll "$@"
    if [ $rc -ne 0 ] || [ -n "$out" ] || [ -n "$err" ] || [ ! -f out.png ]; then
        fail "$name: exit $rc, stdout '$out', stderr '$err'"
        return
    fi
    expect_same "$name" "$expected" "$($tool dump out.png)"
}

# expect_error NAME PATTERN ARGS...: one "kvhost: error:" line matching PATTERN, exit 1 (kvhost's
# own error), nothing written.
expect_error() {
    local name=$1 pattern=$2
    shift 2
    rm -f out.png
    kvhost "$@"
    local lines
    lines=$(printf '%s\n' "$err" | wc -l)
    if [ $rc -eq 1 ] && [ "$lines" -eq 1 ] && [[ "$err" == "kvhost: error: "* ]] &&
        [[ "$err" =~ $pattern ]] && [ -z "$out" ] && [ ! -e out.png ]; then
        pass "$name"
    else
        fail "$name: exit $rc, stderr '$err', stdout '$out'$([ -e out.png ] && echo ', written')"
    fi
}

$tool rgba in.png 6 5
$tool rgb rgb.png 6 5
$tool mask mask.png 6 5 2,1,5,4 200 3,2
$tool mask small_mask.png 5 5 0,0,5,5 255
$tool mask empty_mask.png 6 5 0,0,0,0 255
echo "not an image, only a line of text in a file" >text.png

# Information and filter names, Japanese decoded from Shift-JIS.
kvhost info ./probe_plugin.dll
expect_same "info output" 'info: kvhost probe plug-in 1.0
filters: 2
filter 0: category "Probe|試験" name "Channel probe...|チャンネル検査..."
filter 1: category "Probe" name "Invert"' "$out"
[ $rc -eq 0 ] && [ -z "$err" ] && pass "info exit and stderr" || fail "info: exit $rc, '$err'"

# Filter runs: whole image, rectangle with colours, mask, second filter, RGB input.
expect_run "whole image, default colours" \
    "$($tool probe in.png 0,0,6,5 000000FF FFFFFFFF)" in.png out.png
expect_run "rectangle and colours" \
    "$($tool probe in.png 1,1,4,4 11223344 556677FF)" in.png out.png --rect 1,1,4,4 \
    --fg 11223344 --bg 556677
expect_run "mask: bounding box, outside pixels kept" \
    "$($tool probe in.png 2,1,5,4 102030FF A0B0C0FF mask.png)" in.png out.png --mask mask.png \
    --fg 102030 --bg a0b0c0 --quiet
expect_run "second filter" "$($tool invert in.png 0,2,6,5)" --filter 1 --rect=0,2,6,5 in.png out.png
expect_run "RGB input gets opaque alpha" "$($tool invert rgb.png 4,0,6,2)" rgb.png out.png \
    --filter 1 --rect 4,0,6,2

# Without the settings file: the same run, and one warning line that says so.
mv vxfilters.ini kept.ini
kvhost run ./probe_plugin.dll in.png out.png --filter 1
mv kept.ini vxfilters.ini
[ $rc -eq 0 ] && [[ "$err" == "kvhost: warning: no settings file "*"vxfilters.ini\": the filter runs on its defaults, which for Trapezoid change nothing;"* ]] &&
    pass "no settings file: a warning" || fail "no settings file: exit $rc, stderr '$err'"

# The probe shows an error box for a one-pixel rectangle: answered in-process and printed, the
# run refused (exit 2), an existing output left as it was.
cp rgb.png out.png
kvhost run ./probe_plugin.dll in.png out.png --rect 2,2,3,3
expect_same "message box answered and reported" \
    'kvhost: message box "error": 選択範囲が小さすぎます (notice 1)' "$err"
[ $rc -eq 2 ] && cmp -s out.png rgb.png && [ -z "$(ls ./*.tmp 2>/dev/null)" ] &&
    pass "refused run keeps the existing output" || fail "refused run: exit $rc"

# With --interactive the box waits for the user: the run is still going when the time is up.
rm -f out.png
timeout -k 5 4 wine "$kvhost" run ./probe_plugin.dll in.png out.png --rect 2,2,3,3 --interactive \
    >/dev/null 2>&1
rc=$?
[ $rc -eq 124 ] && [ ! -e out.png ] && pass "interactive box stays open" ||
    fail "interactive box: exit $rc"

# Bad input.
run=(run ./probe_plugin.dll)
expect_error "missing input" 'cannot open "nothere.png"' "${run[@]}" nothere.png out.png
expect_error "input not an image" 'cannot read "text.png": not an image' "${run[@]}" text.png out.png
expect_error "output extension" 'cannot write "out.gif": the extension' "${run[@]}" in.png out.gif
expect_error "quality out of range" 'invalid quality "101"' "${run[@]}" in.png out.jpg --quality 101
expect_error "batch option without batch" 'need --out-dir' "${run[@]}" in.png out.png --format jpg
expect_error "unknown format" 'invalid format "gif": expected png, jpg \(jpeg\), tif \(tiff\) or bmp' \
    "${run[@]}" in.png --out-dir fmt --format gif
expect_error "help on no command" 'no help on "bogus": there is no such command' help bogus
expect_error "a picture for a plug-in" \
    'cannot load plug-in "in.png": it is not a 32-bit Windows DLL' info in.png
expect_error "rect outside" 'outside the 6x5 image' "${run[@]}" in.png out.png --rect 0,0,7,5
expect_error "rect negative" 'outside the 6x5 image' "${run[@]}" in.png out.png --rect=-1,0,2,2
expect_error "rect empty" 'empty or inverted' "${run[@]}" in.png out.png --rect 2,2,2,4
expect_error "rect inverted" 'empty or inverted' "${run[@]}" in.png out.png --rect 4,1,1,4
expect_error "rect malformed" 'invalid rectangle "1,2,3"' "${run[@]}" in.png out.png --rect 1,2,3
expect_error "mask size" 'is 5x5 but the image is 6x5' "${run[@]}" in.png out.png \
    --mask small_mask.png
expect_error "mask selects nothing" 'selects no pixel' "${run[@]}" in.png out.png \
    --mask empty_mask.png
expect_error "mask selects nothing inside the rectangle" \
    'mask "mask.png" selects no pixel inside the rectangle 0,0,2,5' "${run[@]}" in.png out.png \
    --mask mask.png --rect 0,0,2,5
expect_error "missing mask" 'cannot open "nomask.png"' "${run[@]}" in.png out.png --mask nomask.png
expect_error "bad colour" 'invalid colour "12345"' "${run[@]}" in.png out.png --fg 12345
expect_error "bad colour digits" 'invalid colour "GG0000"' "${run[@]}" in.png out.png --bg GG0000
expect_error "unknown option" "unknown option --bogus" "${run[@]}" in.png out.png --bogus
expect_error "non-numeric filter" \
    '--filter wants a filter number, not "x"; this plug-in has 2 filters, numbers 0 and 1' \
    "${run[@]}" in.png out.png --filter x
expect_error "filter out of range" \
    'there is no filter 2; this plug-in has 2 filters, numbers 0 and 1' "${run[@]}" in.png out.png \
    --filter 2
expect_error "missing output argument" 'missing output' "${run[@]}" in.png
expect_error "surplus argument" 'unexpected argument "extra.png"' "${run[@]}" in.png out.png \
    extra.png
expect_error "unwritable output" 'cannot open "nodir/out.png"' "${run[@]}" in.png nodir/out.png
expect_error "unknown command" 'unknown command "frobnicate"' frobnicate ./probe_plugin.dll
expect_error "no command" 'no command given'
expect_error "missing plug-in argument" 'missing plugin' info
expect_error "plug-in missing" 'cannot load plug-in "./nothere.dll": no such file' run ./nothere.dll in.png \
    out.png
python3 -c 'import sys; d = open(sys.argv[1], "rb").read()
open("needs.dll", "wb").write(d.replace(b"USER32.dll", b"KVGONE.dll"))' probe_plugin.dll
expect_error "plug-in needing a missing library names it" \
    'cannot load plug-in "./needs.dll": the library it needs "KVGONE.dll" is missing' info ./needs.dll
expect_error "plug-in not a library" 'cannot load plug-in "./in.png"' run ./in.png in.png out.png
expect_error "plug-in lacks the exports" 'does not export KV_GetPluginInfo' info \
    'C:\windows\system32\comctl32.dll'
# A bare plug-in name is a file in the current folder, not a library beside kvhost that has the
# same name (here a decoy without the exports).
mkdir -p host && cp "$kvhost" host/kvhost.exe && cp "$kvhost" host/probe_plugin.dll
timeout 60 wine host/kvhost.exe info probe_plugin.dll >stdout.txt 2>stderr.txt
expect_same "a bare plug-in name loads from the current folder" "info: kvhost probe plug-in 1.0" \
    "$(tr -d '\r' <stdout.txt | head -1)"

# Batches that would lose a file are refused before any file is read, naming the pair.
mkdir -p a b && cp in.png a/x.png && cp in.png b/x.png && cp in.png x.png && cp in.png x_k.png
cp rgb.png x.jpg
expect_error "batch: an input twice" 'names one file twice: "in.png" and "./in.png"' \
    "${run[@]}" in.png ./in.png --out-dir outb
expect_error "batch: two inputs to one output" '"a/x.png" and "b/x.png" would both be written to' \
    "${run[@]}" a/x.png b/x.png --out-dir outb
expect_error "batch: two formats to one output" '"x.png" and "x.jpg" would both be written to' \
    "${run[@]}" x.png x.jpg --out-dir outb --format png
expect_error "batch: a result over a later input" \
    'the result of "x.png" would be written over the input "x_k.png"' \
    "${run[@]}" x.png x_k.png --out-dir . --suffix _k
expect_error "batch: --suffix with a path" '--suffix "/../../x" must not hold a path separator' \
    "${run[@]}" in.png --out-dir outb --suffix /../../x
expect_error "batch: --out-dir a file" '--out-dir "rgb.png" is a file, not a folder' \
    "${run[@]}" in.png --out-dir rgb.png
expect_error "batch: --out-dir without its parent" 'cannot create the output folder "no/dir"' \
    "${run[@]}" in.png --out-dir no/dir
[ ! -e outb ] && cmp -s x_k.png in.png && pass "refused batches touch nothing" ||
    fail "refused batches touch nothing"
kvhost run ./probe_plugin.dll in.png --out-dir made --quiet --filter 1
[ $rc -eq 0 ] && [ -f made/in.png ] && pass "batch: --out-dir made when missing" ||
    fail "batch: --out-dir made when missing: exit $rc, '$err'"
# --format takes either spelling of an extension.
kvhost run ./probe_plugin.dll in.png --out-dir made --quiet --format jpeg --filter 1
kvhost run ./probe_plugin.dll in.png --out-dir made --quiet --format TIFF --filter 1
[ -f made/in.jpg ] && [ -f made/in.tif ] && pass "--format jpeg and TIFF" ||
    fail "--format jpeg and TIFF: $(ls made)"
# Suggesting needs the optional export, checked before the image is read.
expect_error "suggest without the export" 'cannot suggest settings: it does not export' \
    suggest ./probe_plugin.dll nothere.png
expect_error "--auto without the export" 'cannot suggest settings: it does not export' \
    "${run[@]}" nothere.png out.png --auto
expect_error "--horizontal without --auto" 'it needs --auto' "${run[@]}" in.png out.png --horizontal

# Help: -h anywhere, and the run command's options one line each.
kvhost run ./probe_plugin.dll in.png --help
[ $rc -eq 0 ] && [[ "$out" == *"--out-dir DIR"* ]] && [[ "$out" == *"exit codes: 0 done"* ]] &&
    pass "run --help" || fail "run --help: exit $rc, '$out'"
kvhost -h
[ $rc -eq 0 ] && [[ "$out" == usage:* ]] && pass "-h" || fail "-h: exit $rc, '$out'"
kvhost help run
expect_same "help run lists each option once" "$(grep -c -- '^  --filter N ' <<<"$out")" 1
kvhost help suggest
expect_same "help suggest lists its options" "--rect --mask --horizontal -h," \
    "$(grep -o -- '^  -[-a-z,]*' <<<"$out" | xargs)"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
