#!/usr/bin/env bash
# Builds with clang and runs the tests under AddressSanitizer + UndefinedBehaviorSanitizer,
# then the threading tests under ThreadSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
ensure_packages "${CORVANE_BUILD_PACKAGES[@]}" "${CORVANE_TEST_PACKAGES[@]}" clang libclang-rt-14-dev

asan=${CORVANE_ASAN_DIR:-$root/build-asan}
cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DCORVANE_SANITIZE="address;undefined" -DCORVANE_BUILD_BENCH=OFF -DCORVANE_BUILD_GUI=OFF
cmake --build "$asan" -j"$(nproc)"
(cd "$asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$(nproc)" --timeout 600)

tsan=${CORVANE_TSAN_DIR:-$root/build-tsan}
cmake -S "$root" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DCORVANE_SANITIZE=thread -DCORVANE_BUILD_BENCH=OFF -DCORVANE_BUILD_GUI=OFF
cmake --build "$tsan" -j"$(nproc)" --target corvane_engine_tests corvane_complex_tests corvane_orbit_tests
(cd "$tsan" && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --output-on-failure -j"$(nproc)" --timeout 600 -R 'Worker|Thread|Concurren')
