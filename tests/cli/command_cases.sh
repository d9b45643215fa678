#!/usr/bin/env bash
# One table of cases for both commands, kvhost.exe running the plug-in under Wine and the native
# trapezoid: files of every kind read, every format written with the photograph's metadata,
# batches, the refusals of batches that would lose a file, messages and exit codes; batches of
# several jobs (threads natively, worker processes for kvhost) against one. Given the native
# command too, kvhost's results on every format are checked pixel for pixel against it.
# Usage: command_cases.sh kvhost KVHOST.exe TRAPEZOID.dll MAKE_SAMPLE.py [NATIVE_TRAPEZOID]
#        command_cases.sh native TRAPEZOID MAKE_SAMPLE.py
set -u
here=$(dirname "$(realpath "$0")")/../host
png="python3 $here/png_tool.py"
fmt="python3 $here/format_tool.py"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
native=""
if [ "$1" = kvhost ]; then
    program=kvhost kvhost=$(realpath "$2") sample=$(realpath "$4")
    [ -n "${5:-}" ] && native=$(realpath "$5")
    cp "$3" "$work/trapezoid.dll"
    command() { wine "$kvhost" "$1" ./trapezoid.dll "${@:2}"; }
else
    program=trapezoid native=$(realpath "$2") sample=$(realpath "$3")
    command() { "$native" "$1" "${@:2}" --settings vxfilters.ini; }
fi
cd "$work" || exit 1
source "$here/checks.sh"
settings() {  # SHAPE DIFFERENCE PERSPECTIVE PROPORTIONS
    printf '[Trapezoid]\r\nshape=%s\r\ndifference=%s\r\nundefarea=0\r\ntransparent=0\r\nperspective=%s\r\nproportions=%s\r\n' \
        "$1" "$2" "${3:-0}" "${4:-0}" >vxfilters.ini
}
run() {  # the run command, --quiet; exit code in rc, its lines in out and err
    command run "$@" --quiet </dev/null >out.txt 2>err.txt
    rc=$? out=$(tr -d '\r' <out.txt) err=$(tr -d '\r' <err.txt)
}
python3 "$sample" photo.png 480 360
$png noise noise.png 160 100

# Reading: every kind of file gives the 8-bit pixels it holds, 16-bit values rounded, TIFF in
# either byte order and compressed with JPEG.
settings 1 0
for kind in png16 png16grey greyalpha palette tiff16 tiff16be tiff16grey tiff16greybe tiff8be \
    tiff8jpeg; do
    file=$kind.$([[ $kind == tiff* ]] && echo tif || echo png)
    expected=$($fmt make "$kind" "$file")
    run "$file" read.png
    check "read $kind" "0 $expected" "$rc $($png dump read.png)"
done

# Writing: every format, read back at its size; the photograph's metadata carried, upright.
settings 1 -30
cp photo.png camera.png && exiftool -q -overwrite_original -Make=Maker -Orientation#=6 camera.png
for ext in png jpg tif bmp; do
    run camera.png "out.$ext"
    check "write $ext" "0 360 480" "$rc $(exiftool -s3 -ImageWidth -ImageHeight "out.$ext" | xargs)"
done
check "metadata in PNG, JPEG and TIFF" "Maker Maker Maker" \
    "$(exiftool -T -Make out.png out.jpg out.tif | xargs)"

# Metadata: one table of photographs with unusual or hostile metadata, each written to JPEG, PNG
# and TIFF: every result valid, its metadata true of the result, a broken block left out with a
# warning that names the input.
meta="python3 $here/metadata_tool.py"
$meta make meta
for ext in jpg png tif; do
    run meta/* --out-dir "meta-$ext" --format "$ext"
    check "metadata to $ext" "" "$($meta check meta "meta-$ext" "$ext" err.txt)"
done

# Batches: every file run, going on after one that fails.
cp photo.png a.png && cp photo.png b.jpg && printf 'not an image' >bad.png
run a.png bad.png b.jpg --out-dir outd
check "batch goes on after a failure" "1 2 done, 1 failed" "$rc $out"
check "batch names the failure" \
    "$program: error: cannot read \"bad.png\": the file is too short to be an image (12 bytes)" "$err"
[ -f outd/a.png ] && [ -f outd/b.jpg ]
check "batch outputs" 0 $?

# Batches that would lose a file are refused before any file is read, naming the pair.
mkdir -p x y && cp a.png x/p.png && cp a.png y/p.png && cp a.png a_k.png
refused() {  # NAME MESSAGE ARGS...
    local name=$1 message=$2
    shift 2
    run "$@"
    check "refused: $name" "1 $program: error: $message" "$rc $err"
}
refused "an input twice" 'the batch names one file twice: "a.png" and "./a.png"' \
    a.png ./a.png --out-dir outr
refused "two inputs to one output" '"x/p.png" and "y/p.png" would both be written to "outr/p.png"' \
    x/p.png y/p.png --out-dir outr
if [ "$program" = kvhost ]; then  # Wine's drive, like Windows', finds a name in any case
    refused "one name in two cases" \
        '"a.png" and "A.png" are the same file on this drive, which ignores case' a.png A.png \
        --out-dir outr
fi
refused "a result over another input" \
    'the result of "a.png" would be written over the input "a_k.png"' a.png a_k.png --out-dir . \
    --suffix _k
refused "results replacing their inputs" \
    'the result of "a.png" would replace it: give --in-place to replace the inputs, or --suffix or another --out-dir to keep them' \
    a.png b.jpg --out-dir .
refused "a suffix with a path" \
    '--suffix "/x" must not hold a path separator, a colon or "..": it is added to each output'"'"'s name' \
    a.png --out-dir outr --suffix /x
[ ! -e outr ] && cmp -s a.png photo.png
check "refused batches touch nothing" 0 $?
run a.png --out-dir . --in-place
check "--in-place replaces the input" "0 1 done, 0 failed" "$rc $out"

# Exit codes: a settings file the filter refuses, no straight lines, a missing file.
settings 1 150
run photo.png out.png
check "refused settings: exit 2" 2 $rc
settings 1 0
command suggest noise.png </dev/null >out.txt 2>/dev/null
check "suggest without lines: exit 3" "3 $program: no straight lines found" "$? $(tr -d '\r' <out.txt)"
run nothere.png out.png
check "a missing input: exit 1" "1 $program: error: cannot open \"nothere.png\"" "$rc ${err%: *}"
mkdir -p folder
for case in 'folder out.png|1 error: "folder" is a folder, not an image' \
    'photo.png out.png --bogus|1 error: unknown option --bogus'; do
    run ${case%|*}
    check "message: ${case%|*}" "${case#*|}" "$rc ${err#$program: }"
done
settings 1 100 1
run photo.png out.png
check "a rectangle left all undefined: a warning" "0 warning: \"photo.png\": difference=100 makes\
 an edge 0 long, so every line of the rectangle is undefined: the result is all fill" "$rc ${err#$program: }"

# Batches of several jobs: the same files, lines and count as with one job; a name with a space
# and Japanese in it reaches kvhost's worker processes as it is.
settings 1 -30
cp out.tif "c 写真.tif" && cp out.bmp d.bmp && cp out.jpg e.jpg && cp /dev/null f.png
for jobs in 1 3; do
    command run a.png b.jpg bad.png "c 写真.tif" d.bmp e.jpg f.png --out-dir "jobs$jobs" \
        --jobs "$jobs" </dev/null >"jobs$jobs.out" 2>"jobs$jobs.err"
    echo "exit $?" >>"jobs$jobs.out"
done
check "--jobs 3: the same lines" "$(sed s/jobs1/jobs/ jobs1.out jobs1.err)" \
    "$(sed s/jobs3/jobs/ jobs3.out jobs3.err)"
diff -r jobs1 jobs3 >/dev/null
check "--jobs 3: byte-identical outputs" 0 $?

# Interruptions: SIGINT once the first output of a batch of two jobs is there (kvhost's workers
# stopped by kvhost, which alone gets the signal) or once a single run is writing: exit 130, the
# count so far, outputs done intact, no temporary file left, the old output in place; a temporary
# file of a process killed outright removed by the next run.
settings 1 -30
launch() {  # the command in the background, its own process to signal
    if [ "$program" = kvhost ]; then
        (exec wine "$kvhost" "$1" ./trapezoid.dll "${@:2}" --quiet </dev/null >out.txt 2>err.txt) &
    else
        (exec "$native" "$1" "${@:2}" --settings vxfilters.ini --quiet </dev/null >out.txt 2>err.txt) &
    fi
    pid=$!
}
interrupt() {  # PATTERN: SIGINT once a file matching it is there
    until compgen -G "$1" >/dev/null || ! kill -0 "$pid" 2>/dev/null; do sleep 0.02; done
    kill -INT "$pid"
    wait "$pid"
    rc=$? out=$(tr -d '\r' <out.txt)
}
$png big big1.png 4000 3000 && cp big1.png big2.png && cp big1.png big3.png && mkdir bigs
launch run big1.png big2.png big3.png --out-dir bigs --jobs 2
interrupt 'bigs/big?.png'
done=$(ls bigs/*.png | wc -l)
intact=$(for f in bigs/*.png; do $png size "$f"; done | sort -u)
check "interrupted batch" "130 $done done, 0 failed, $((3 - done)) not started 4000 3000 0" \
    "$rc $out $intact $(ls bigs | grep -c tmp)"
cp photo.png old.png
launch run big1.png old.png
interrupt "old.png.$program-*.tmp"
check "interrupted run" "130 $(md5sum <photo.png) 0" "$rc $(md5sum <old.png) $(ls | grep -c 'old.png.*tmp')"
touch "old.png.$program-999999.tmp"
run photo.png old.png
check "a stale temporary file removed" \
    "0 $program: warning: removed \"old.png.$program-999999.tmp\", left half-written by a run that was cut short" \
    "$rc $err"

# The native command's result equals kvhost's pixel for pixel, on every format.
if [ "$program" = kvhost ] && [ -n "$native" ]; then
    settings 1 -40 1
    for ext in png jpg tif bmp; do
        run photo.png "k.$ext"
        "$native" run photo.png "n.$ext" --settings vxfilters.ini --quiet
        "$native" run "k.$ext" k.png --difference 0 --quiet && "$native" run "n.$ext" n.png \
            --difference 0 --quiet
        check "native equals kvhost: $ext" "$($png dump n.png | md5sum)" "$($png dump k.png | md5sum)"
    done
    # The proportions restored and the result cropped to what they leave defined.
    settings 1 -40 1 1
    run camera.png k.png --crop
    "$native" run camera.png n.png --settings vxfilters.ini --crop --quiet
    check "native equals kvhost: proportions, --crop" "$($png dump n.png | md5sum)" \
        "$($png dump k.png | md5sum)"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
