#!/usr/bin/env bash
# The setup command under Wine, driven as a user drives it: kvhost opens the probe plug-in's
# setup dialog over its image window, dialog_driver plays the user from another process, and the
# host reports whether the dialog was confirmed. Also checks the driver itself: each action, a
# failing check, a missing dialog, a screenshot.
# Usage: kvhost_setup_test.sh KVHOST.exe PROBE_PLUGIN.dll DIALOG_DRIVER.exe
#        (inside scripts/with_display.sh)
set -u
kvhost=$(realpath "$1")
probe=$(realpath "$2")
driver=$(realpath "$3")
tool="python3 $(dirname "$(realpath "$0")")/png_tool.py"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
cp "$probe" probe_plugin.dll

# English texts, and a UTF-8 command line for Wine whichever glibc locales are installed: Wine
# decodes the Unix arguments with the charset of LC_CTYPE, and C.UTF-8 always exists.
english=(LC_ALL= LANG=en_US.UTF-8 LC_CTYPE=C.UTF-8)
japanese=(LC_ALL= LANG=ja_JP.UTF-8)

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "PASS: $1"; }
fail() { failed=$((failed + 1)); echo "FAIL: $1"; }

# expect_same NAME EXPECTED ACTUAL
expect_same() {
    if [ "$2" == "$3" ]; then pass "$1"; else
        fail "$1"; diff <(echo "$2") <(echo "$3") | sed 's/^/    /'
    fi
}

# drive ACTION...: the driver against the dialog named by $caption, in $driver_env; leaves its
# output (stdout and stderr, without \r) and exit code in drove and drc.
caption="Probe setup"
driver_env=("${english[@]}")
drive() {
    env "${driver_env[@]}" timeout -k 5 60 wine "$driver" --caption "$caption" "$@" >driver.txt 2>&1
    drc=$?
    drove=$(tr -d '\r' <driver.txt)
}

# setup_with ARG... -- ACTION...: "kvhost setup ARG..." in the background (in $host_env) while
# the driver performs the actions on its dialog; leaves the host's stdout, stderr and exit code in
# out, err and rc. A failed driver run is followed by a Cancel, so that the host always ends.
host_env=("${english[@]}")
setup_with() {
    local arguments=()
    while [ "$1" != "--" ]; do arguments+=("$1"); shift; done
    shift
    env "${host_env[@]}" timeout -k 5 60 wine "$kvhost" setup "${arguments[@]}" \
        >stdout.txt 2>stderr.txt &
    local host=$!
    drive "$@"
    if [ $drc -ne 0 ]; then
        env "${driver_env[@]}" wine "$driver" --caption "$caption" --timeout 5 cancel \
            >/dev/null 2>&1 || kill $host
    fi
    wait $host
    rc=$?
    out=$(tr -d '\r' <stdout.txt)
    err=$(tr -d '\r' <stderr.txt)
}

# expect_host NAME OUT ERR: the host ended with exit code 0 and these outputs, the driver with 0.
expect_host() {
    if [ $rc -eq 0 ] && [ $drc -eq 0 ] && [ "$out" == "$2" ] && [ "$err" == "$3" ]; then
        pass "$1"
    else
        fail "$1: host exit $rc, stdout '$out', stderr '$err'; driver exit $drc: $drove"
    fi
}

# expect_error NAME PATTERN ARG...: "kvhost ARG..." fails with one "kvhost: error:" line
# matching PATTERN and prints nothing on stdout.
expect_error() {
    local name=$1 pattern=$2
    shift 2
    env "${english[@]}" timeout 60 wine "$kvhost" "$@" >stdout.txt 2>stderr.txt
    rc=$?
    out=$(tr -d '\r' <stdout.txt)
    err=$(tr -d '\r' <stderr.txt)
    if [ $rc -ne 0 ] && [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] &&
        [[ "$err" == "kvhost: error: "* ]] && [[ "$err" =~ $pattern ]] && [ -z "$out" ]; then
        pass "$name"
    else
        fail "$name: exit $rc, stderr '$err', stdout '$out'"
    fi
}

$tool rgba in.png 3 2
$tool mask mask.png 3 2 0,0,2,2 200
$tool mask small_mask.png 2 2 0,0,2,2 255
# The probe's edit shows size, first pixel, colours and first mask byte. The first pixel of the
# pattern is red 1, green 2, blue 3, alpha 200: the word c8010203.
initial="3x2 c8010203 fg ff000000 bg ffffffff mask none"

setup_with ./probe_plugin.dll in.png -- expect-owner:"kvhost - in.png" \
    expect-text:1001="$initial" ok
expect_host "OK confirms; the image window owns the dialog" "kvhost: setup confirmed" ""
expect_same "one line per action" "expect-owner:kvhost - in.png
expect-text:1001=$initial
ok" "$drove"

# A mask level of 200 is the mask byte 255 - 200 = 0x37.
setup_with ./probe_plugin.dll in.png --fg 102030 --bg a0b0c0c0 --mask mask.png -- \
    expect-text:1001="3x2 c8010203 fg ff102030 bg c0a0b0c0 mask 37" cancel
expect_host "Cancel; colours and mask answered" "kvhost: setup not confirmed (result 0)" ""

setup_with ./probe_plugin.dll in.png -- set:1001=typed escape
expect_host "Escape on the focused edit cancels" "kvhost: setup not confirmed (result 0)" ""

setup_with ./probe_plugin.dll in.png --filter 0 -- close
expect_host "the close box cancels" "kvhost: setup not confirmed (result 0)" ""

# Every kind of control: the slider moves with End, Page Up, Home and Right (35, 33, 36, 39),
# the combo's choice reaches the dialog, which enables the check box.
setup_with ./probe_plugin.dll in.png -- expect-pos:1003=5 key:1003=35 expect-pos:1003=10 \
    key:1003=33 expect-pos:1003=8 key:1003=36 expect-pos:1003=0 key:1003=39 expect-pos:1003=1 \
    expect-items:1004=3 expect-sel:1004=0 expect-enabled:1005=0 select:1004=2 \
    expect-sel:1004=2 expect-text:1004=three expect-enabled:1005=1 expect-checked:1005=0 \
    click:1005 expect-checked:1005=1 click:1005 expect-checked:1005=0 set:1001=hello \
    expect-text:1001=hello sleep:10 ok
expect_host "slider, combo box, check box and edit driven" "kvhost: setup confirmed" ""

# The dialog's own error box shows over it, for the user to answer; the dialog stays open.
setup_with ./probe_plugin.dll in.png -- set:1001=box post-click:1 \
    'box:probe setup refused "box"' expect-text:1001=box set:1001=fine ok
expect_host "the dialog's message box shown to the user, the dialog left open" \
    "kvhost: setup confirmed" ""
expect_same "the box answered by the user" 'box:probe setup refused "box" "error"' \
    "$(sed -n 3p <<<"$drove")"

# The Japanese dialog, found by a driver running Japanese and by one running English.
host_env=("${japanese[@]}")
caption="プローブ設定"
driver_env=("${japanese[@]}")
setup_with ./probe_plugin.dll in.png --filter 1 -- expect-owner:"kvhost - in.png" ok
expect_host "Japanese caption, driver running Japanese" "kvhost: setup confirmed" ""
driver_env=("${english[@]}")
setup_with ./probe_plugin.dll in.png --filter 1 -- expect-owner:"kvhost - in.png" ok
expect_host "Japanese caption, driver running English" "kvhost: setup confirmed" ""
host_env=("${english[@]}")
driver_env=("${english[@]}")
caption="Probe setup"

# Checks that do not hold fail the driver with what was expected and what was found; the
# dialog stays open for the next driver run.
env "${english[@]}" timeout -k 5 60 wine "$kvhost" setup ./probe_plugin.dll in.png \
    >stdout.txt 2>stderr.txt &
host=$!
drive expect-text:1001=wrong ok
expect_same "failed text check" "1 dialog_driver: expect-text:1001=wrong: expected \"wrong\", \
got \"$initial\"" "$drc $drove"
drive expect-pos:1003=5 expect-enabled:1005=1
expect_same "failed check after a good one" "1 expect-pos:1003=5
dialog_driver: expect-enabled:1005=1: expected \"1\", got \"0\"" "$drc $drove"
drive click:999
expect_same "missing control" "1 dialog_driver: click:999: the dialog has no control 999" \
    "$drc $drove"
drive bogus:1
expect_same "unknown action" '2 dialog_driver: unknown action "bogus:1"' "$drc $drove"
drive set:1001
expect_same "malformed action" '2 dialog_driver: malformed action "set:1001"' "$drc $drove"

# The screenshot has the dialog's size, and mostly the dialog's face colour, which the prefix
# keeps as "R G B" in the registry.
drive shot:"$work/shot.png" cancel
size=$($tool size shot.png 2>/dev/null)
face=$(env "${english[@]}" wine reg query 'HKCU\Control Panel\Colors' /v ButtonFace |
    tr -d '\r' | awk '/ButtonFace/ { printf "%02X%02X%02XFF", $3, $4, $5 }')
read -r common colours < <($tool common shot.png 2>/dev/null)
if [ $drc -eq 0 ] && [ "$drove" == "shot:$work/shot.png ${size/ /x}
cancel" ] && [ "${size% *}" -gt 100 ] && [ "${size#* }" -gt 50 ] && [ "$common" == "$face" ] &&
    [ "$colours" -gt 10 ]; then
    pass "screenshot of the dialog"
else
    fail "screenshot: driver exit $drc: $drove; size '$size', common $common of $colours, face $face"
fi
wait $host
expect_same "host after the driver's failures" "0 kvhost: setup not confirmed (result 0)" \
    "$? $(tr -d '\r' <stdout.txt)"

# No dialog: the driver gives up after its timeout.
caption="No such dialog"
drive --timeout 1 ok
[ $drc -eq 2 ] && [[ "$drove" == 'dialog_driver: no visible dialog "No such dialog" after 1 s'* ]] &&
    pass "no dialog: driver times out" || fail "no dialog: driver exit $drc: $drove"

# The command line.
env "${english[@]}" wine "$kvhost" help >stdout.txt
grep -qxF '  kvhost setup PLUGIN.dll IN [--filter N] [--mask MASK] [--fg RRGGBB[AA]] [--bg RRGGBB[AA]]' \
    <(tr -d '\r' <stdout.txt) && pass "help shows setup" || fail "help: $(cat stdout.txt)"
expect_error "missing input argument" 'missing input; usage: kvhost setup' setup ./probe_plugin.dll
expect_error "surplus argument" 'unexpected argument "out.png"' setup ./probe_plugin.dll in.png \
    out.png
expect_error "run's rectangle is no setup option" "unknown option --rect" setup \
    ./probe_plugin.dll in.png --rect 0,0,1,1
expect_error "bad colour" 'invalid colour "12345"' setup ./probe_plugin.dll in.png --fg 12345
expect_error "missing input" 'cannot open "nothere.png"' setup ./probe_plugin.dll nothere.png
expect_error "mask size" 'is 2x2 but the image is 3x2' setup ./probe_plugin.dll in.png \
    --mask small_mask.png
expect_error "filter out of range" 'there is no filter 2; this plug-in has 2 filters' setup ./probe_plugin.dll \
    in.png --filter 2
expect_error "plug-in missing" 'cannot load plug-in "./nothere.dll"' setup ./nothere.dll in.png

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
