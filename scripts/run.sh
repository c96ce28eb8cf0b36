#!/usr/bin/env bash
# Installs what is missing, builds Corvane and starts it. Arguments go to the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$root/build}
source "$root/scripts/deps.sh"
ensure_packages "${CORVANE_BUILD_PACKAGES[@]}"

# The tests need more packages than the program; they stay on where those are present,
# so the same build folder serves scripts/test.sh as well.
tests=OFF
if dpkg-query -W -f='${Status}' libgtest-dev 2>/dev/null | grep -q 'install ok installed'; then
    tests=ON
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVANE_BUILD_TESTS=$tests >/dev/null
cmake --build "$build" --target corvane -j"$(nproc)"
exec "$build/src/gui/corvane" "$@"
