#!/usr/bin/env bash
# Runs the gui test programs on a real X server (Xvfb), so the widgets are exercised
# as the program shows them, not only on Qt's offscreen platform. Expects the build of
# scripts/test.sh (or CORVANE_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$root/build-dev}
source "$root/scripts/deps.sh"
# xdotool: the responsiveness test also sends keys through the X server.
ensure_packages xvfb xauth xdotool

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/documents" "$scratch/config"
# Nothing of the user's is read or written.
export HOME=$scratch/home XDG_DOCUMENTS_DIR=$scratch/documents XDG_CONFIG_HOME=$scratch/config
export CORVANE_SETTINGS=$scratch/settings.reg QT_QPA_PLATFORM=xcb

shopt -s nullglob
tests=("$build"/tests/gui/corvane_gui_*_test)
if ((${#tests[@]} == 0)); then
    echo "gui-xvfb: no gui test programs in $build/tests/gui" >&2
    exit 1
fi
status=0
for test in "${tests[@]}"; do
    echo "== $(basename "$test") on Xvfb"
    xvfb-run -a -s "-screen 0 1280x1024x24" "$test" || status=1
done
exit $status
