#!/usr/bin/env bash
# Exports one large picture with corvane-render and reports what it cost: wall-clock
# time and peak memory (maximum resident set size, from /usr/bin/time -v), and the
# size of the PNG file written. The default is the gigapixel export, 32000 x 32000,
# of the Mandelbrot set's default view with the program's default method (relief) and
# the integer algorithm; it takes about a minute on two cores.
#   bash scripts/measure-export.sh                      # expects the build of scripts/test.sh
#   bash scripts/measure-export.sh 8000x8000 "-2.1,-1.69,1,1.72,200,0,0,1,2,100"
#   CORVANE_BUILD_DIR=build-dev bash scripts/measure-export.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$root/build}
render=$build/tools/render/corvane-render
size=${1:-32000x32000}
params=${2:-}
if [ ! -x "$render" ]; then
    echo "measure-export: build corvane-render first ($render)" >&2
    exit 1
fi
source "$root/scripts/deps.sh"
ensure_packages time

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
arguments=(--type Mandelbrot --size "$size")
[ -n "$params" ] && arguments+=(--params "$params")

/usr/bin/time -v "$render" "${arguments[@]}" "$work/export.png" >"$work/out.txt" 2>"$work/time.txt" || {
    cat "$work/out.txt" "$work/time.txt" >&2
    exit 1
}
peak_kib=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")
bytes=$(stat -c %s "$work/export.png")
tail -n 1 "$work/out.txt"
echo "size=$size peak_resident_mib=$((peak_kib / 1024)) wall_clock=$wall png_bytes=$bytes"
