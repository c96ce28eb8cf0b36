#!/usr/bin/env bash
# scripts/make-video.sh: a sequence of frames becomes a video holding every one of them;
# a gap, a bad pattern or a bad target is refused before encoding and leaves the target
# as it was. Skipped (77) where ffmpeg is not installed.
#   make-video-test.sh PATH-TO-make-video.sh
set -uo pipefail
script=$1
command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null || {
    echo "ffmpeg is not installed: skipped"
    exit 77
}
dir=$(mktemp -d "${TMPDIR:-/tmp}/make-video-test.XXXXXX")
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
failures=0

# Frames FIRST..LAST named by PATTERN: WIDTH x HEIGHT PNG files, each a different grey.
make_frames() {
    python3 - "$@" <<'EOF'
import struct, sys, zlib
pattern, first, last, width, height = sys.argv[1], *map(int, sys.argv[2:])
def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
for n in range(first, last + 1):
    row = b"\0" + bytes([(n * 8) % 256, 255 - (n * 8) % 256, 128]) * width
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(row * height)) + chunk(b"IEND", b""))
    open(pattern % n, "wb").write(png)
EOF
}

frames_in() {
    ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames \
        -of default=noprint_wrappers=1:nokey=1 "$1"
}
size_of() {
    ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0:s=x "$1"
}

# check NAME EXPECTED-EXIT EXPECTED-OUTPUT-TEXT -- make-video arguments...
check() {
    local name=$1 want=$2 text=$3 got
    shift 4
    bash "$script" "$@" >"$dir/log" 2>&1
    got=$?
    if [ "$got" != "$want" ] || ! grep -qF -- "$text" "$dir/log"; then
        echo "FAIL: $name: exit $got (wanted $want), output:"
        sed 's/^/    /' "$dir/log"
        failures=$((failures + 1))
    fi
}
expect() {
    if ! eval "$2"; then
        echo "FAIL: $1 ($2)"
        failures=$((failures + 1))
    fi
}

mkdir seq gap bare odd
make_frames seq/frame-%05d.png 1 30 33 17
make_frames gap/f%d.png 8 12 16 16
rm gap/f10.png
make_frames bare/f%d.png 8 12 16 16
make_frames odd/frame-%3d.png 0 3 16 16
mkdir a-folder.mp4

check "thirty frames" 0 "Wrote $dir/seq.mp4: 30 frames" -- seq/frame-%05d.png "$dir/seq.mp4" --fps 25
expect "the video holds every frame" '[ "$(frames_in seq.mp4)" = 30 ]'
expect "an odd size gains a row and a column" '[ "$(size_of seq.mp4)" = 34x18 ]'
expect "no temporary file is left" '[ -z "$(ls -A . | grep "^\.")" ]'

cp seq.mp4 kept.mp4
check "a missing frame" 2 "f10.png" -- gap/f%d.png kept.mp4
expect "a refused sequence leaves the old video" 'cmp -s seq.mp4 kept.mp4'
check "unpadded numbers from 8" 0 "5 frames" -- bare/f%d.png bare.mp4
check "space-padded numbers" 0 "4 frames" -- "odd/frame-%3d.png" odd.mp4
check "no frames at all" 2 "no frames match" -- nothing/f%d.png none.mp4
check "two conversions" 2 "one integer conversion" -- seq/%d-%05d.png x.mp4
check "not PNG" 2 "PNG" -- seq/frame-%05d.jpg x.mp4
check "not mp4" 2 ".mp4" -- seq/frame-%05d.png x.avi
check "a folder in the way" 2 "not a regular file" -- seq/frame-%05d.png a-folder.mp4
expect "the folder is left alone" '[ -d a-folder.mp4 ]'
check "a bad frame rate" 2 "--fps" -- seq/frame-%05d.png x.mp4 --fps 0
check "a bad codec" 2 "--codec" -- seq/frame-%05d.png x.mp4 --codec vp9
check "a bad quality" 2 "--crf" -- seq/frame-%05d.png x.mp4 --crf 52
expect "nothing written for refusals" '[ ! -e x.mp4 ] && [ ! -e none.mp4 ]'

# A frame that is no picture: ffmpeg fails, the run says so and the old video stays.
echo "not a picture" >bare/f10.png
cp bare.mp4 old.mp4
check "a damaged frame" 1 "is unchanged" -- bare/f%d.png old.mp4
expect "a failed encoding leaves the old video" 'cmp -s bare.mp4 old.mp4'

encoders=$(ffmpeg -hide_banner -encoders 2>/dev/null)
if grep -qwE 'libsvtav1|libaom-av1' <<<"$encoders"; then
    make_frames av1-%d.png 1 6 64 48
    check "av1" 0 "6 frames" -- av1-%d.png av1.mp4 --codec av1 --crf 40
    # From 64 x 64 up, SVT-AV1 where ffmpeg has it.
    make_frames av1-large-%d.png 1 4 96 64
    check "av1, larger frames" 0 "4 frames" -- av1-large-%d.png av1-large.mp4 --codec av1
fi

if ((failures)); then
    echo "$failures failed"
    exit 1
fi
echo "all passed"
