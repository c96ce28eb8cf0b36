#!/usr/bin/env bash
# Makes docs/screenshot.png: the program as it looks on a first start, run on a virtual
# X server with a settings store, home and documents folder of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$root/build}
output=${1:-$root/docs/screenshot.png}
source "$root/scripts/deps.sh"
ensure_packages "${CORVANE_BUILD_PACKAGES[@]}" xvfb xauth imagemagick x11-utils

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
    xwininfo -name Corvane >/dev/null 2>&1 && break
    sleep 0.2
done
sleep "${SETTLE:-4}"  # the first picture is computed meanwhile
window=$(xwininfo -name Corvane | awk '/Window id:/ {print $4}')
import -window "$window" "$OUTPUT"
kill "$program"
wait "$program" || true
SHOOT

HOME=$scratch/home XDG_DOCUMENTS_DIR=$scratch/documents XDG_CONFIG_HOME=$scratch/config \
CORVANE_SETTINGS=$scratch/settings.reg QT_QPA_PLATFORM=xcb \
CORVANE=$build/src/gui/corvane OUTPUT=$output \
    xvfb-run -a -s "-screen 0 1280x1024x24" bash "$scratch/shoot.sh"
echo "Wrote $output"
