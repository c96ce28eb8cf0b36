#!/usr/bin/env bash
# Deep pictures, measured: for each escape-time type, views 1e-30, 1e-100 and 1e-300 wide
# (160 x 120 pixels) around a point on the edge of its set, the counts of 500 sampled
# pixels by perturbation against a direct iteration in arbitrary precision (64 bits
# more than the view's). Prints per type and depth the share of identical counts, the
# range of counts, how many pixels the engine itself counted directly, and for every
# difference why (a direct iteration at 256 more bits, and how near the bailout the
# iterate was). Fails when a view is below 99.9% identical.
#   bash scripts/deep-correctness.sh                     # expects the build of build-dev
#   bash scripts/deep-correctness.sh --type 6 --samples 2000 --depth 1e-200
#   CORVANE_BUILD_DIR=build bash scripts/deep-correctness.sh
# Takes a few minutes: the direct iterations cost milliseconds per pixel at 1e-300.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$root/build-dev}
source "$root/scripts/deps.sh"
ensure_packages "${CORVANE_BUILD_PACKAGES[@]}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    echo "deep-correctness: configure the build first (cmake --preset dev)" >&2
    exit 1
fi
cmake --build "$build" --target corvane-deep-check -j2 >/dev/null
"$build/tools/deep_check/corvane-deep-check" --samples 500 "$@"
