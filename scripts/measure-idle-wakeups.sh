#!/usr/bin/env bash
# How often the idle window wakes up: runs the program on a virtual X server, lets it
# finish its first picture (a Mandelbrot) and counts the context switches of its
# user-interface thread over a quiet interval. A finished picture should cost none.
#
#   bash scripts/measure-idle-wakeups.sh [PROGRAM] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$root/build}
program=${1:-$build/src/gui/corvane}
seconds=${2:-10}
source "$root/scripts/deps.sh"
ensure_packages xvfb xauth x11-utils

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/documents" "$scratch/config" "$scratch/runtime"
chmod 700 "$scratch/runtime"

cat >"$scratch/count.sh" <<'COUNT'
#!/usr/bin/env bash
set -euo pipefail
"$PROGRAM" &
pid=$!
for _ in $(seq 50); do
    xwininfo -name Corvane >/dev/null 2>&1 && break
    sleep 0.2
done
sleep "${SETTLE:-5}"  # the first picture is computed and shown meanwhile
switches() {
    awk '/^(voluntary|nonvoluntary)_ctxt_switches/ {sum += $2} END {print sum}' \
        "/proc/$pid/task/$pid/status"
}
before=$(switches)
sleep "$SECONDS_QUIET"
after=$(switches)
kill "$pid"
wait "$pid" || true
echo "user-interface thread: $((after - before)) context switches in $SECONDS_QUIET s" \
    "($(((after - before) / SECONDS_QUIET)) a second)"
COUNT

HOME=$scratch/home XDG_DOCUMENTS_DIR=$scratch/documents XDG_CONFIG_HOME=$scratch/config \
XDG_RUNTIME_DIR=$scratch/runtime CORVANE_SETTINGS=$scratch/settings.reg QT_QPA_PLATFORM=xcb \
PROGRAM=$program SECONDS_QUIET=$seconds \
    xvfb-run -a -s "-screen 0 1280x1024x24" bash "$scratch/count.sh"
