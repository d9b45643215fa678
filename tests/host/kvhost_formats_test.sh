#!/usr/bin/env bash
# kvhost's image files under Wine, with the real plug-in: each format and bit depth read and
# written, JPEG's kinds against the reference decoder (djpeg), a 108-megapixel image within its
# memory budget, absurd headers refused, a batch that goes on after failures, and an output
# written in place of its input.
# Usage: kvhost_formats_test.sh KVHOST.exe TRAPEZOID.dll MAKE_SAMPLE.py (inside with_display.sh)
set -u
kvhost=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
png="python3 $here/png_tool.py"
fmt="python3 $here/format_tool.py"
sample=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$2" "$work/trapezoid.dll"
cd "$work" || exit 1
source "$here/checks.sh"
settings() {  # DIFFERENCE: shape 1, edge fill; 0 leaves the image as it is
    printf '[Trapezoid]\r\nshape=1\r\ndifference=%s\r\nundefarea=0\r\ntransparent=0\r\n' "$1" \
        >vxfilters.ini
}
run() {  # kvhost run with the plug-in; exit code in rc, stderr in err
    wine "$kvhost" run ./trapezoid.dll "$@" --quiet >out.txt 2>err.txt
    rc=$?
    err=$(tr -d '\r' <err.txt)
}

# Reading: each kind of file gives the 8-bit pixels it holds, 16-bit values rounded, TIFF in
# either byte order.
settings 0
for kind in png16 png16grey greyalpha palette tiff16 tiff16be tiff16grey tiff16greybe tiff8 \
    tiff8be; do
    file=$kind.$([[ $kind == tiff* ]] && echo tif || echo png)
    expected=$($fmt make "$kind" "$file")
    run "$file" read.png
    check "read $kind" "0 $expected" "$rc $($png dump read.png)"
done

# Files that cannot be read, each said in plain words naming the file.
for kind in $($fmt unreadable); do
    expected=$($fmt unreadable "$kind" "bad-$kind.img")
    run "bad-$kind.img" out.png
    check "unreadable $kind" "1 kvhost: error: $expected" "$rc $err"
done

# Colour planes stored apart, refused before libtiff read kvhost's TIFF files, are read.
$fmt unreadable tiffplanes planes.tif
run planes.tif planes.png
check "a TIFF of colour planes stored apart" "0 7 3" \
    "$rc $(od -An -tu4 --endian=big -j16 -N8 planes.png | xargs)"

# A camera's photograph in each of the eight orientations, a mark in its stored top-left corner:
# read upright as a viewer shows it, and written upright with orientation 1, JPEG and PNG alike.
settings 0
$fmt marked marked.ppm 48 32 && cjpeg -quality 95 marked.ppm >marked.jpg
shown=(x "TL 48x32" "TR 48x32" "BR 48x32" "BL 48x32" "TL 32x48" "TR 32x48" "BR 32x48" "BL 32x48")
for o in 1 2 3 4 5 6 7 8; do
    exiftool -q -n -Orientation=$o marked.jpg -o "turned$o.jpg"
    run "turned$o.jpg" up.png && run "turned$o.jpg" up.jpg && djpeg up.jpg >up.ppm
    check "orientation $o" "0 ${shown[$o]} ${shown[$o]} 1 1" \
        "$rc $($fmt corner up.png) $($fmt corner up.ppm) $(exiftool -T -n -Orientation up.jpg up.png | xargs)"
done

# Its EXIF, ICC profile and XMP: carried into JPEG and PNG as a reader that is not kvhost sees
# them, the orientation 1, the pixel dimensions the result's and the thumbnail gone; BMP says it
# holds none; --strip writes none.
$fmt icc profile.icc && cjpeg -quality 50 marked.ppm >thumb.jpg
exiftool -q -n -Orientation=6 -Make=Kvhost -Model=Tester "-DateTimeOriginal=2026:12:08 09:30:00" \
    -ExifImageWidth=48 -ExifImageHeight=32 -XMP-dc:Title=Facade "-ICC_Profile<=profile.icc" \
    "-ThumbnailImage<=thumb.jpg" marked.jpg -o camera.jpg
for ext in jpg png tif; do
    run camera.jpg "meta.$ext"
    tags=$(exiftool -s3 -n -Orientation -Make -Model -DateTimeOriginal -ExifImageWidth \
        -ExifImageHeight -Title "meta.$ext" | xargs)
    thumbnail=$(exiftool -s3 -ThumbnailLength "meta.$ext" | wc -w)
    profile=$(exiftool -b -ICC_Profile "meta.$ext" | cmp -s - profile.icc && echo same)
    check "metadata into $ext" "0 1 Kvhost Tester 2026:12:08 09:30:00 32 48 Facade 0 same" \
        "$rc $tags $((thumbnail)) $profile"
done
# From a TIFF: its EXIF (its own tags and directories), ICC profile and XMP go on, unannounced.
run meta.tif fromtiff.png
check "from a TIFF: EXIF, ICC and XMP carried" "0 Kvhost 2026:12:08 09:30:00 Facade same" \
    "$rc$err $(exiftool -s3 -Make -DateTimeOriginal -Title fromtiff.png | xargs) $(exiftool -b -ICC_Profile fromtiff.png | cmp -s - profile.icc && echo same)"
run camera.jpg meta.bmp
check "BMP says it holds no metadata" \
    "0 kvhost: warning: \"meta.bmp\": a BMP file holds none of the photograph's EXIF, ICC profile and XMP" \
    "$rc $err"
# A damaged EXIF block (its first directory pointed far outside) is left out, with a warning.
python3 -c "import sys; d = bytearray(open('camera.jpg', 'rb').read()); i = d.index(b'Exif\\0\\0') + 10
d[i:i + 4] = b'\\x7f\\xff\\xff\\xf0' if d[i - 4:i - 2] == b'MM' else b'\\xf0\\xff\\xff\\x7f'
open('damaged.jpg', 'wb').write(bytes(d))"
run damaged.jpg undamaged.png
check "a damaged EXIF block left out" \
    "0 kvhost: warning: \"damaged.jpg\": its EXIF block is left out: its first directory lies outside it 0" \
    "$rc $err $(($(exiftool -s3 -EXIF:all undamaged.png | wc -l)))"
run camera.jpg stripped.jpg --strip
check "--strip writes none of it" "0 0" "$rc $(($(exiftool -s3 -EXIF:all -XMP:all -ICC_Profile:all stripped.jpg | wc -l)))"

# A TIFF of several pages: the first is read, and said so; it is never written over.
expected=$($fmt make tiff8pages pages.tif) && cp pages.tif pages_before.tif
run pages.tif read.png
check "the first page of three" \
    "0 kvhost: warning: \"pages.tif\" has 3 pages; the first is used $expected" \
    "$rc $err $($png dump read.png)"
run pages.tif pages.tif
check "a file of three pages not written over" \
    "1 kvhost: error: cannot write \"pages.tif\": it has 3 pages, and the result would keep only one 1" \
    "$rc $(tail -1 <<<"$err") $(cmp -s pages.tif pages_before.tif && echo 1)"

# Writing: TIFF keeps alpha, BMP and JPEG drop it; read back through kvhost.
$png rgba in.png 7 3
for ext in tif bmp; do
    run in.png "out.$ext" && run "out.$ext" back.png
    expected=$($png dump in.png)
    [ "$ext" == bmp ] && expected=$(sed -E 's/([0-9A-F]{6})[0-9A-F]{2}/\1FF/g' <<<"$expected")
    check "write $ext" "0 $expected" "$rc $($png dump back.png)"
done
python3 "$sample" photo.png 480 360
python3 "$sample" strips.png 700 600  # 1.2 MiB of RGB: more than one strip
run strips.png opaque.tif && run opaque.tif back.png
check "opaque TIFF written as RGB in strips, exact" "0 0.00 1" \
    "$rc $($fmt error strips.png back.png) $(($(stat -c %s opaque.tif) < 700 * 600 * 4))"
# JPEG: at 92 (colour halved) and at 100 (colour kept) close to its source; grey, progressive,
# CMYK and YCCK files read as the reference decoder reads them; a cut-short file refused, and an
# image too wide for JPEG before the filter runs.
for case in 92:2.5 100:0.5; do
    run photo.png "q${case%:*}.jpg" --quality "${case%:*}" && run "q${case%:*}.jpg" back.png
    check "JPEG at ${case%:*} is close to its source" "0 1" \
        "$rc $(awk -v limit="${case#*:}" '{ print ($1 < limit) }' <<<"$($fmt error photo.png back.png)")"
done
run photo.png q20.jpg --quality 20
check "a lower quality gives a smaller file" 1 "$(( $(stat -c %s q20.jpg) < $(stat -c %s q92.jpg) ))"
jpegtran -grayscale q92.jpg >grey.jpg && jpegtran -progressive q92.jpg >progressive.jpg
$fmt cmyk cmyk.jpg 0 && $fmt cmyk ycck.jpg 2
for kind in grey progressive cmyk ycck; do
    djpeg -pnm "$kind.jpg" >"$kind.pnm"
    run "$kind.jpg" read.png
    check "read $kind JPEG" "0 0.00" "$rc $($fmt error "$kind.pnm" read.png)"
done
head -c 20000 q92.jpg >cut.jpg
# Missing only its end marker, a one-scan file has every row: it opens, with a warning.
head -c -2 q92.jpg >noend.jpg
run q92.jpg whole.png && run noend.jpg noend.png
check "JPEG without its end marker opens, with a warning" \
    "0 kvhost: warning: \"noend.jpg\" ends without its end marker; every row is there 1" \
    "$rc $err $(cmp -s whole.png noend.png && echo 1)"
$fmt big wide.png 65501 1
for refusal in 'cut.jpg out.png|cannot read "cut.jpg": the file is damaged or cut short' \
    'wide.png out.jpg|cannot write "out.jpg": a JPEG has at most 65500 pixels a side'; do
    run ${refusal%%|*}
    check "JPEG refused: ${refusal%%|*}" "1 kvhost: error: ${refusal#*|}" "$rc $err"
done

# The output may be the input; no temporary file stays behind.
cp in.png same.png
settings -40
run same.png same.png
check "written over its own input" "0 " "$rc $(ls ./*.tmp 2>/dev/null)"
[ "$($png dump same.png)" != "$($png dump in.png)" ] && passed=$((passed + 1)) ||
    { failed=$((failed + 1)); echo "FAIL: the input was not replaced by the result"; }

# A full disk: a small tmpfs holds a TIFF, then is filled to the last byte. Each
# format's write ends with "the disk is full", the original as it was and no temporary file.
full=$(mktemp -d)
if [ "$(id -u)" -ne 0 ] || ! mount -t tmpfs -o size=160k tmpfs "$full" 2>/dev/null; then
    echo "skipped: the full-disk checks need root and a tmpfs mount"
else
    python3 "$sample" small.png 200 150
    run small.png "$full/photo.tif" && cp "$full/photo.tif" kept.tif
    # Then nothing more: what is left filled.
    dd if=/dev/zero of="$full/filler" bs=1k 2>/dev/null
    run "$full/photo.tif" "$full/photo.tif"
    check "a TIFF in place on a full disk" \
        "1 kvhost: error: cannot write \"$full/photo.tif\": the disk is full 1" \
        "$rc $err $(cmp -s kept.tif "$full/photo.tif" && echo 1)"
    for ext in png jpg tif bmp; do
        run small.png "$full/out.$ext"
        check "$ext on a full disk" "1 kvhost: error: cannot write \"$full/out.$ext\": the disk is full" \
            "$rc $err"
    done
    check "a full disk keeps only what was there" "filler photo.tif" "$(ls "$full" | xargs)"
    umount "$full"
fi
rmdir "$full"

# 12000 x 9000: runs with the filter at work, the process's peak memory within 9 bytes a pixel
# plus 64 MiB; then a header claiming 100000 x 100000 is refused before anything is allocated.
$fmt big big.png 12000 9000
settings -30
$fmt peak peak.txt wine "$kvhost" run ./trapezoid.dll big.png big_out.png --quiet
check "108 megapixels run" "0 12000 9000" "$? $(od -An -tu4 --endian=big -j16 -N8 big_out.png | xargs)"
budget=$(( (12000 * 9000 * 9 >> 20) + 64 ))
echo "peak working set of the 12000x9000 run: $(cat peak.txt) MiB (budget $budget MiB)"
check "peak memory within budget" 1 "$(( $(cat peak.txt) <= budget ))"
rm -f big.png big_out.png
$fmt huge huge.png 100000 100000
$fmt huge huge.jpg 65500 65500
for claim in "huge.png 100000x100000: needs 76294" "huge.jpg 65500x65500: needs 32733"; do
    $fmt peak peak.txt wine "$kvhost" run ./trapezoid.dll "${claim%% *}" huge_out.png --quiet 2>err.txt
    check "absurd header refused" \
        "1 kvhost: error: \"${claim%% *}\" is ${claim#* } MiB, a 32-bit host can hold about 3500 MiB" \
        "$? $(tr -d '\r' <err.txt)"
    check "absurd header: nothing allocated" 1 "$(( $(cat peak.txt) < 200 ))"
done
# 2900 MiB is within the sum, but the two images cannot each have one piece of the address space:
# refused as well before any decoding, with the room there is.
$fmt huge tall.png 20000 19000
$fmt peak peak.txt wine "$kvhost" run ./trapezoid.dll tall.png huge_out.png --quiet 2>err.txt
rc=$?
room=$(tr -d '\r' <err.txt | sed -n 's/.*needs 2900 MiB, a 32-bit host can hold about \([0-9]*\) MiB$/\1/p')
check "two images that do not fit apart refused" "1 1 1" \
    "$rc $(( ${room:-9999} < 2900 )) $(( $(cat peak.txt) < 200 ))"

# A batch of five: one input corrupt, one target taken by a directory. Three done, two error
# lines, the summary, exit 1.
settings -20
cp in.png a.png && cp photo.png b.png && cp q92.jpg c.jpg && cp out.tif d.tif
echo "not an image" >bad.png
mkdir -p outdir/d_k.png
wine "$kvhost" run ./trapezoid.dll a.png bad.png b.png c.jpg d.tif --out-dir outdir --suffix _k \
    --format png >out.txt 2>err.txt
check "batch exit" 1 $?
check "batch summary" "3 done, 2 failed" "$(tr -d '\r' <out.txt)"
check "batch error lines" 2 "$(grep -c '^kvhost: error: ' err.txt)"
check "batch progress" "kvhost: [1/5] a.png" "$(grep -m1 '^kvhost: \[' err.txt | tr -d '\r')"
check "batch outputs" "a_k.png b_k.png c_k.png" "$(find outdir -type f -printf '%f\n' | sort | xargs)"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
