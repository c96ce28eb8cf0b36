#!/usr/bin/env bash
# Builds the libFuzzer harnesses (they are part of the asan-ubsan preset: clang,
# AddressSanitizer + UndefinedBehaviorSanitizer, the build scripts/sanitize.sh makes), replays every seed and every committed regression input
# (ctest label fuzz), then runs each harness for a fixed number of executions from its
# seed corpus. Any crash, hang or sanitizer report fails.
#   CORVANE_FUZZ_SCALE=10 bash scripts/fuzz.sh   # a ten times longer campaign
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/deps.sh"
ensure_packages "${CORVANE_BUILD_PACKAGES[@]}" clang libclang-rt-14-dev

build=${CORVANE_ASAN_DIR:-$root/build-asan-ubsan}
scale=${CORVANE_FUZZ_SCALE:-1}
cmake -S "$root" --preset asan-ubsan -B "$build" > /dev/null
harnesses=$(cd "$root/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//')
# shellcheck disable=SC2086
cmake --build "$build" -j"$(nproc)" --target $harnesses

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Every seed and every input kept in fuzz/regressions/ once (ctest label fuzz).
(cd "$build" && ctest --output-on-failure -j"$(nproc)" --timeout 300 -L fuzz)

# harness  executions  dictionary
runs=(
    "picture_file 150000 bitmap.dict"
    "png_file 100000 png.dict"
    "palette 3000000 numbers.dict"
    "settings 1000000 settings.dict"
    "dialog_fields 3000000 numbers.dict"
    "parameters 10000 numbers.dict"
)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# One harness's campaign; its output goes to its own log, printed when it ends.
fuzz_one() {
    local name=$1 count=$2 dict=$3 started=$SECONDS
    local harness="$build/fuzz/fuzz_$name"
    mkdir -p "$work/$name"
    "$harness" -runs=$((count * scale)) -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -dict="$root/fuzz/dict/$dict" -artifact_prefix="$work/$name-" -print_final_stats=1 \
        "$work/$name" "$root/fuzz/corpus/$name" > "$work/$name.log" 2>&1 || {
        tail -50 "$work/$name.log"
        echo "fuzz_$name found a problem; the input is kept in $work" >&2
        return 1
    }
    echo "== $name: $((count * scale)) executions, $((SECONDS - started)) s:" \
        "$(grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$work/$name.log" | tr -s ' \n' ' ')"
}
# The campaigns run side by side, one a core.
failed=0
running=0
for entry in "${runs[@]}"; do
    read -r name count dict <<< "$entry"
    if ((running >= $(nproc))); then
        wait -n || failed=1
        running=$((running - 1))
    fi
    fuzz_one "$name" "$count" "$dict" &
    running=$((running + 1))
done
while ((running > 0)); do
    wait -n || failed=1
    running=$((running - 1))
done
if ((failed)); then
    trap - EXIT
    exit 1
fi
echo "Fuzzing: all harnesses clean."
