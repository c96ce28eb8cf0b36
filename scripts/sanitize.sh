#!/usr/bin/env bash
# Builds the whole tree with clang under AddressSanitizer + UndefinedBehaviorSanitizer (preset
# asan-ubsan: library, gui, tools, benchmarks, tests and the fuzz harnesses scripts/fuzz.sh
# runs) and runs the unit tests there (label unit), then every test that drives a worker thread under
# ThreadSanitizer (preset tsan, label thread).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
ensure_packages "${CORVANE_BUILD_PACKAGES[@]}" "${CORVANE_TEST_PACKAGES[@]}" clang libclang-rt-14-dev

asan=${CORVANE_ASAN_DIR:-$root/build-asan-ubsan}
cmake -S "$root" --preset asan-ubsan -B "$asan"
cmake --build "$asan" -j"$(nproc)"
(cd "$asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$(nproc)" --timeout 600 -L unit)

tsan=${CORVANE_TSAN_DIR:-$root/build-tsan}
cmake -S "$root" --preset tsan -B "$tsan"
cmake --build "$tsan" -j"$(nproc)"
(cd "$tsan" && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --output-on-failure -j"$(nproc)" --timeout 600 -L thread)
