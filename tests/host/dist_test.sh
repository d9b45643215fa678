#!/usr/bin/env bash
# The release archive as a user gets it: packed twice to the same bytes, its contents as listed
# (no settings file), its texts for Notepad, its checksum file right, and, unpacked into a folder
# with a Japanese name and a space, its kvhost running its plug-in on a JPEG and a PNG.
# Usage: dist_test.sh BUILD_DIR LIBJPEG_PREFIX SOURCE_DIR   (inside scripts/with_display.sh)
set -u
build=$(realpath "$1")
libjpeg=$(realpath "$2")
source_dir=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$(realpath "$0")")/checks.sh"
version=$(cat "$source_dir/VERSION")
name=trapezoid-$version-win32

for copy in first second; do
    python3 "$source_dir/scripts/dist.py" "$build" "$libjpeg" "$work/$copy" 1765184400 >/dev/null
done
check "packed twice, the same bytes" 0 "$(cmp -s "$work/first/$name.zip" "$work/second/$name.zip"; echo $?)"
cd "$work/first" || exit 1
check "SHA256SUMS checks" "$name.zip: OK" "$(sha256sum -c SHA256SUMS)"
check "the archive's contents" "$name/ $name/LICENSE.txt $name/README-ja.txt $name/README.txt $name/THIRD-PARTY-NOTICES.txt $name/kvhost.exe $name/trapezoid.dll" \
    "$(python3 -c "import zipfile, sys; print(' '.join(zipfile.ZipFile(sys.argv[1]).namelist()))" "$name.zip")"

folder="$work/配布 テスト"
mkdir -p "$folder" && python3 -m zipfile -e "$name.zip" "$folder"
cd "$folder/$name" || exit 1
for text in README.txt README-ja.txt LICENSE.txt THIRD-PARTY-NOTICES.txt; do
    lone=$(tr -d '\r' <"$text" | wc -l)
    check "$text: a byte-order mark and CRLF line ends" "efbbbf $lone" \
        "$(head -c 3 "$text" | od -An -tx1 | tr -d ' ') $(grep -c $'\r$' "$text")"
done
check "the Japanese readme names the dialog's texts" 1 "$(grep -c '遠近補正(E)' README-ja.txt)"
check "the binaries are those built" "same same" \
    "$(cmp -s kvhost.exe "$build/kvhost.exe" && echo same) $(cmp -s trapezoid.dll "$build/trapezoid.dll" && echo same)"

python3 "$source_dir/scripts/make_sample.py" photo.png 160 120
printf '[Trapezoid]\r\nshape=1\r\ndifference=-30\r\n' >vxfilters.ini
wine ./kvhost.exe run trapezoid.dll photo.png result.png --quiet
png=$?
wine ./kvhost.exe run trapezoid.dll result.png photo.jpg --quiet &&
    wine ./kvhost.exe run trapezoid.dll photo.jpg result.jpg --quiet
check "unpacked kvhost runs its plug-in on a PNG and a JPEG" "0 0" "$png $?"
check "kvhost --version" "kvhost $version" "$(wine ./kvhost.exe --version | tr -d '\r')"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
