#!/usr/bin/env bash
# Installs what is missing, builds Corvane and starts it. Arguments go to the program.
# A plain user's build in build/ (warnings stay warnings) of what `cmake --install build`
# installs: the program and corvane-render. scripts/test.sh builds in build-dev/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$root/build}
source "$root/scripts/deps.sh"
ensure_packages "${CORVANE_BUILD_PACKAGES[@]}"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVANE_BUILD_TESTS=OFF -DCORVANE_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
exec "$build/src/gui/corvane" "$@"
