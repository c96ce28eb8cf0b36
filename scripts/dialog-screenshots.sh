#!/usr/bin/env bash
# Renders every dialog on Qt's offscreen platform into docs/dialogs/*.png, for the
# user guide. The pictures come from the dialogs' own tests, opened on real fractals.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$root/build-dev}
out=${1:-$root/docs/dialogs}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" --preset dev -B "$build"
fi
cmake --build "$build" --target corvane_gui_dialogs_test
mkdir -p "$out"
settings=$(mktemp)
trap 'rm -f "$settings"' EXIT
QT_QPA_PLATFORM=offscreen CORVANE_SETTINGS="$settings" CORVANE_DIALOG_SHOTS="$out" \
  "$build/tests/gui/corvane_gui_dialogs_test" -silent
ls "$out"/*.png
