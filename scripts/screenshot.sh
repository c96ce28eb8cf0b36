#!/usr/bin/env bash
# Makes docs/screenshot.png: the program on a first start after three turns of the wheel
# over the picture, run on a virtual X server with a settings store, home and documents
# folder of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$root/build}
output=${1:-$root/docs/screenshot.png}
source "$root/scripts/deps.sh"
ensure_packages "${CORVANE_BUILD_PACKAGES[@]}" xvfb xauth imagemagick x11-utils xdotool

if [ ! -x "$build/src/gui/corvane" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" --target corvane -j"$(nproc)"
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/documents" "$scratch/config" "$(dirname "$output")"

cat >"$scratch/shoot.sh" <<'SHOOT'
#!/usr/bin/env bash
set -euo pipefail
"$CORVANE" &
program=$!
for _ in $(seq 50); do
    xwininfo -name "$TITLE" >/dev/null 2>&1 && break
    sleep 0.2
done
sleep 2
window=$(xwininfo -name "$TITLE" | awk '/Window id:/ {print $4}')
# Three notches in, the pointer left on the picture for the status bar's coordinates.
xdotool mousemove --window "$window" 190 300
for _ in 1 2 3; do xdotool click 4; sleep 0.05; done
sleep "${SETTLE:-4}"  # the picture is computed meanwhile
import -window "$window" "$OUTPUT"
kill "$program"
wait "$program" || true
SHOOT

HOME=$scratch/home XDG_DOCUMENTS_DIR=$scratch/documents XDG_CONFIG_HOME=$scratch/config \
CORVANE_SETTINGS=$scratch/settings.reg QT_QPA_PLATFORM=xcb \
CORVANE=$build/src/gui/corvane OUTPUT=$output TITLE="Mandelbrot - Corvane" \
    xvfb-run -a -s "-screen 0 1280x1024x24" bash "$scratch/shoot.sh"
echo "Wrote $output"
