#!/usr/bin/env bash
# Opens the largest pictures the loader accepts and reports what that costs: a 1 x
# 268435456 picture (1 GiB of pixels) and a 16384 x 16384 one (768 MiB), both sparse
# files (no disk space) with a valid header and trailer.
#  - corvane-render --from renders each again at the default window size, measured with
#    /usr/bin/time: wall-clock time and peak memory (maximum resident set size);
#  - with --window, the program itself opens each with File > Open on a virtual X server
#    (Xvfb, driven by xdotool): the time from confirming the file until the window answers
#    again (Ctrl+A brings up About), and the program's peak memory (VmHWM) before and after.
#    A small picture opened the same way shows what the dialog round trip costs alone.
#   bash scripts/huge-pictures.sh [--window]   # expects the build of scripts/test.sh
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

make_picture "$work/small.bmp" 240 268
make_picture "$work/tall.bmp" 1 268435456
make_picture "$work/large.bmp" 16384 16384
measure "1 x 268435456" "$work/tall.bmp"
measure "16384 x 16384" "$work/large.bmp"
[ "${1:-}" = "--window" ] || exit 0

program=$build/src/gui/corvane
if [ ! -x "$program" ] || ! command -v xvfb-run > /dev/null || ! command -v xdotool > /dev/null; then
    echo "huge-pictures: --window needs $program, xvfb-run and xdotool" >&2
    exit 1
fi
mkdir -p "$work/home" "$work/documents" "$work/config"
cat > "$work/open.sh" << 'OPEN'
#!/usr/bin/env bash
set -euo pipefail
hwm() { sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$pid/status"; }
visible() { xdotool search --onlyvisible --name "$1" 2> /dev/null | head -1; }
# Waits at most ten minutes (a frozen window is what this measures).
wait_for() {
    local deadline=$((SECONDS + 600))
    until [ -n "$(visible "$1")" ]; do
        ((SECONDS < deadline)) || { echo "no window $1" >&2; exit 1; }
        sleep 0.01
    done
}
wait_gone() { while [ -n "$(visible "$1")" ]; do sleep 0.01; done; }
"$CORVANE" &
pid=$!
wait_for '^Corvane$'
sleep 3  # the first picture is computed meanwhile
window=$(visible '^Corvane$')
echo "window $(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p'), peak before $(($(hwm) / 1024)) MiB"
# Without a window manager, keyboard focus goes where xdotool puts it.
for picture in small tall large; do
    xdotool windowfocus --sync "$window"
    xdotool key alt+f
    sleep 0.3
    xdotool key Return
    wait_for '^Open fractal:$'
    xdotool windowfocus --sync "$(visible '^Open fractal:$')"
    xdotool type --delay 1 "$WORK/$picture.bmp"
    sleep 0.5
    start=$(date +%s%N)
    # The first Return may only close the name completion.
    xdotool key Return Return
    xdotool windowfocus --sync "$window"
    xdotool key ctrl+a
    wait_for '^About Corvane$'
    end=$(date +%s%N)
    printf '%-6s open until the window answers %6d ms, peak %5d MiB\n' "$picture" \
        $(((end - start) / 1000000)) $(($(hwm) / 1024))
    xdotool windowfocus --sync "$(visible '^About Corvane$')"
    xdotool key Return
    wait_gone '^About Corvane$'
done
kill "$pid"
wait "$pid" || true
OPEN
HOME=$work/home XDG_DOCUMENTS_DIR=$work/documents XDG_CONFIG_HOME=$work/config \
CORVANE_SETTINGS=$work/settings.reg QT_QPA_PLATFORM=xcb CORVANE=$program WORK=$work \
    xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/open.sh"
