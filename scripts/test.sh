#!/usr/bin/env bash
# Installs what is missing, configures (preset dev: gcc, RelWithDebInfo, warnings as
# errors), builds and runs every test (labels unit, gui and perf) in build-dev/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$root/build-dev}
source "$root/scripts/deps.sh"
ensure_packages "${CORVANE_BUILD_PACKAGES[@]}" "${CORVANE_TEST_PACKAGES[@]}" "${CORVANE_TOOL_PACKAGES[@]}"

cmake -S "$root" --preset dev -B "$build"
cmake --build "$build" -j"$(nproc)"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 300
