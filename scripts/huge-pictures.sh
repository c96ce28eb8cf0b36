#!/usr/bin/env bash
# Opens the largest pictures the loader accepts and reports what that costs: a 1 x
# 268435456 picture (1 GiB of pixels) and a 16384 x 16384 one (768 MiB), both sparse
# files (no disk space) with a valid header and trailer. Each is rendered again with
# `corvane-render --from` at the default window size and measured with /usr/bin/time:
# wall-clock time and peak memory (maximum resident set size).
#   bash scripts/huge-pictures.sh               # expects the build of scripts/test.sh
#   CORVANE_BUILD_DIR=other bash scripts/huge-pictures.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$root/build}
render=$build/tools/render/corvane-render
size=${CORVANE_RENDER_SIZE:-240x268}
if [ ! -x "$render" ]; then
    echo "huge-pictures: build corvane-render first ($render)" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }

# A 24-bit picture file of width x height: the 58 header bytes, sparse pixel data, then
# the type id 5 (Mandelbrot) and its parameter string in UTF-16LE with a zero unit.
make_picture() {
    local path=$1 width=$2 height=$3
    local row=$(((3 * width + 3) / 4 * 4))
    local trailer=$((58 + row * height))
    {
        printf 'BM'
        le32 $((trailer & 0xFFFFFFFF)); le32 0; le32 58
        le32 40; le32 "$width"; le32 "$height"; le16 1; le16 24
        le32 0; le32 0; le32 0; le32 0; le32 0; le32 0; le32 0
    } > "$path"
    truncate -s "$trailer" "$path"
    { le32 5; printf '%s\0' "-2.255,-1.69,1.155,1.72,200,0,0,1,1,100" | iconv -t UTF-16LE; } >> "$path"
}

measure() {
    local name=$1 path=$2
    /usr/bin/time -v -o "$work/time.txt" "$render" --from "$path" --size "$size" \
        "$work/out.bmp" > "$work/render.txt" 2>&1 || {
        cat "$work/render.txt"
        echo "huge-pictures: corvane-render failed on $name" >&2
        exit 1
    }
    local wall rss
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
    printf '%-22s %-12s wall %-9s peak %6d MiB   %s\n' "$name" "--size $size" "$wall" \
        $((rss / 1024)) "$(tail -1 "$work/render.txt")"
}

make_picture "$work/tall.bmp" 1 268435456
make_picture "$work/large.bmp" 16384 16384
measure "1 x 268435456" "$work/tall.bmp"
measure "16384 x 16384" "$work/large.bmp"
