#!/usr/bin/env bash
# The real plug-in's setup dialog opened by kvhost under Wine and played by dialog_driver, in
# English and in Japanese: filled from vxfilters.ini, the difference edit, slider and list in
# step, the perspective box read from the file, OK saving the six keys, Cancel and Escape saving
# nothing. Saves a screenshot of the dialog in each language, one of the whole sample photograph
# previewed zoomed out, and the photograph before and after the demo's keystone correction and
# straightened by run --auto under each profile, and the dialog maximised with the grid and two
# guides in each language into SHOTS_DIR.
# Usage: trapezoid_setup_test.sh KVHOST.exe TRAPEZOID.dll DIALOG_DRIVER.exe SAMPLE.py SHOTS_DIR
#        (inside scripts/with_display.sh)
set -u
kvhost=$(realpath "$1")
driver=$(realpath "$3")
sample=$(realpath "$4")
mkdir -p "$5"
shots=$(realpath "$5")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$2" "$work/trapezoid.dll"
cd "$work" || exit 1
python3 "$sample" facade.png 160 100

# Wine decodes the command line with the charset of LC_CTYPE; C.UTF-8 always exists.
english=(LC_ALL= LANG=en_US.UTF-8 LC_CTYPE=C.UTF-8)
japanese=(LC_ALL= LANG=ja_JP.UTF-8)

source "$(dirname "$(realpath "$0")")/checks.sh"
settings() {  # SHAPE DIFFERENCE FILL TRANSPARENT PREVIEW PERSPECTIVE
    printf '[Trapezoid]\r\nshape=%s\r\ndifference=%s\r\nundefarea=%s\r\ntransparent=%s\r\npreview=%s\r\nperspective=%s\r\n' \
        "$@" >vxfilters.ini
}

# setup ENV_ARRAY CAPTION ACTION...: kvhost setup in the background, the driver in the
# foreground; leaves the host's stdout in out and the driver's exit code and output in drc, drove.
setup() {
    local -n environment=$1
    local caption=$2
    shift 2
    env "${environment[@]}" timeout -k 5 60 wine "$kvhost" setup ./trapezoid.dll \
        "${picture:-facade.png}" >stdout.txt 2>stderr.txt &
    local host=$!
    env "${environment[@]}" timeout -k 5 60 wine "$driver" --caption "$caption" "$@" \
        >driver.txt 2>&1
    drc=$?
    if [ $drc -ne 0 ]; then
        env "${environment[@]}" wine "$driver" --caption "$caption" --timeout 5 cancel \
            >/dev/null 2>&1 || kill $host
    fi
    wait $host
    out=$(tr -d '\r' <stdout.txt)
    drove=$(tr -d '\r' <driver.txt)
    [ $drc -eq 0 ] || echo "driver: $drove"
}

# English: opened from the file, changed through every kind of control, a screenshot of the
# preview correcting the sample's converging verticals, confirmed.
settings 0 30 4 0 1 1
setup english Trapezoid \
    expect-text:1059=30 expect-pos:1061=30 expect-checked:1065=1 expect-items:1064=6 \
    expect-sel:1064=4 expect-text:1064=white expect-checked:1062=0 expect-checked:1006=1 \
    expect-checked:1073=1 "expect-text:1073=P&erspective" expect-enabled:1090=1 click:1073 \
    expect-enabled:1090=0 "expect-text:1090=Rest&ore proportions" \
    expect-checked:1072=1 expect-enabled:1072=0 expect-text:1072="&Refar to the current selected rectangle only" \
    click:1067 set:1059=-45 expect-pos:1061=-45 set:1059=05 expect-text:1059=-45 \
    key:1061=33 expect-text:1059=-55 key:1061=36 expect-text:1059=-100 set:1059=-20 \
    select:1064=5 click:1062 click:1066 set:1059=-60 sleep:300 "shot:$shots/setup_dialog_en.png" ok
check "English dialog driven" 0 "$drc"
check "English dialog confirmed" "kvhost: setup confirmed" "$out"
check "OK saves the keys in order" \
    "$(printf '[Trapezoid]\r\nshape=1\r\ndifference=-60\r\nundefarea=5\r\ntransparent=1\r\npreview=1\r\nperspective=0\r\nproportions=0\r\nfocal=28\r\ndialog_width=239\r\ndialog_height=189\r\npreview_fit=0\r')" \
    "$(cat vxfilters.ini)"

# Cancel after many changes leaves the file byte for byte.
cp vxfilters.ini before.ini
setup english Trapezoid click:1070 set:1059=77 select:1064=0 click:1062 click:1006 click:1073 \
    cancel
check "Cancel not confirmed" "kvhost: setup not confirmed (result 0)" "$out"
cmp -s before.ini vxfilters.ini
check "Cancel leaves the file" 0 $?

# OK with a folder where the settings file belongs: the box saying so shows over the dialog, for
# the user to answer, and the dialog stays open.
mv vxfilters.ini kept.ini && mkdir vxfilters.ini
setup english Trapezoid post-click:1 "box:The settings could not be written to the file:" cancel
check "an unwritable file: the box shown to the user" 0 "$drc"
check "an unwritable file: not confirmed" "kvhost: setup not confirmed (result 0)" "$out"
rmdir vxfilters.ini && mv kept.ini vxfilters.ini

# Japanese: the texts of template 118 and of the list, a screenshot of the preview with a
# transparent undefined area under the perspective profile with the proportions restored, Escape.
settings 3 150 1 0 0 0
setup japanese 台形 \
    expect-text:1059=0 expect-pos:1061=0 expect-checked:1068=1 expect-checked:1006=0 \
    expect-text:1062="透明(&T)" expect-text:1064=元の画素 expect-text:2=キャンセル \
    expect-checked:1073=0 expect-text:1073="遠近補正(&E)" \
    expect-enabled:1090=0 expect-text:1090="縦横比を復元(&O)" \
    set:1059=12 click:1006 set:1059=40 click:1062 click:1073 expect-enabled:1090=1 click:1090 \
    sleep:300 \
    "shot:$shots/setup_dialog_ja.png" escape
check "Japanese dialog driven" 0 "$drc"
check "Escape not confirmed" "kvhost: setup not confirmed (result 0)" "$out"
check "Escape leaves the file" 150 "$(tr -d '\r' <vxfilters.ini | sed -n 's/^difference=//p')"

# A mask and host colours: the dialog still opens and confirms.
python3 "$(dirname "$(realpath "$0")")/png_tool.py" solid mask.png 160 100 FFFFFFFF
env "${english[@]}" timeout -k 5 60 wine "$kvhost" setup ./trapezoid.dll facade.png \
    --mask mask.png --fg 00FF00 >stdout.txt 2>&1 &
host=$!
env "${english[@]}" timeout -k 5 60 wine "$driver" --caption Trapezoid ok >driver.txt 2>&1
check "with a mask: driven" 0 $?
wait $host
check "with a mask: confirmed" "kvhost: setup confirmed" "$(tr -d '\r' <stdout.txt)"

# The demo's keystone correction of the sample photograph (shape 1 at -58 on the facade's
# rows), previewed with the whole picture fitted by a double-click, then run.
tool="python3 $(dirname "$(realpath "$0")")/png_tool.py"
python3 "$sample" photo.png
$tool mask facade-mask.png 480 360 0,29,480,331 255
settings 1 -58 0 0 1 0
env "${english[@]}" timeout -k 5 60 wine "$kvhost" setup ./trapezoid.dll photo.png \
    --mask facade-mask.png >stdout.txt 2>&1 &
host=$!
env "${english[@]}" timeout -k 5 60 wine "$driver" --caption Trapezoid double-click:1005 \
    sleep:300 "shot:$shots/setup_dialog_fit.png" ok >driver.txt 2>&1
check "fitted preview: driven" 0 $?
wait $host
cp photo.png "$shots/keystone_before.png"
env "${english[@]}" wine "$kvhost" run ./trapezoid.dll photo.png "$shots/keystone_after.png" \
    --rect 0,29,480,331 --quiet
check "keystone correction runs" 0 $?
env "${english[@]}" wine "$kvhost" run ./trapezoid.dll photo.png "$shots/straighten_auto.png" \
    --auto --quiet
check "automatic straightening runs" 0 $?
settings 1 0 0 0 0 1
env "${english[@]}" wine "$kvhost" run ./trapezoid.dll photo.png \
    "$shots/straighten_straight_sides.png" --auto --quiet
check "automatic straightening under the perspective profile runs" 0 $?

# The dialog maximised over the sample photograph in each language, the grid on and two guides
# drawn along the facade's converging sides (from the image's centre, which the canvas's centre
# shows at 1:1), then straightened along them under the perspective profile.
guides="key:1005=68 drag:1005=-119,-136,-179,136 drag:1005=119,-136,179,136 key:1005=65"
settings 1 0 0 0 1 1
picture=photo.png
setup english Trapezoid maximise key:1005=71 $guides expect-text:1059=-73 sleep:300 \
    "shot:$shots/guides_en.png" cancel
check "guides: English dialog driven" 0 "$drc"
setup japanese 台形 maximise key:1005=71 $guides expect-text:1059=-73 sleep:300 \
    "shot:$shots/guides_ja.png" cancel
check "guides: Japanese dialog driven" 0 "$drc"

for shot in setup_dialog_en setup_dialog_ja setup_dialog_fit keystone_before keystone_after \
    straighten_auto straighten_straight_sides guides_en guides_ja; do
    [ -s "$shots/$shot.png" ]
    check "screenshot $shot saved" 0 $?
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
