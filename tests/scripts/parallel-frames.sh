#!/usr/bin/env bash
# The frames of a path made by a plan run through parallel equal those one process makes
# in a range; a plan run again makes only the frames missing or damaged.
#   parallel-frames.sh CORVANE-RENDER
set -euo pipefail

program=$1
if ! command -v parallel >/dev/null; then
    echo "parallel-frames: GNU parallel is missing (scripts/deps.sh installs it)" >&2
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cat >zoom.path <<'PATH'
# twelve frames to a deep view
centre -0.743643887037158704752191506114774 0.131825904205311970493132056385139
width 1e-20
start-centre -0.74364388703715870 0.13182590420531197
start-width 2e-17
per-doubling 1.1
size 96x54
iterations 800
PATH
# per-doubling is a whole number: 11 doublings at 1.1 are refused, and said so.
if "$program" --path zoom.path --frame-count >/dev/null 2>refusal.txt; then
    echo "parallel-frames: a fractional per-doubling was taken" >&2
    exit 1
fi
grep -q "per-doubling is not a whole number" refusal.txt
sed -i 's/^per-doubling 1.1$/per-doubling 1/' zoom.path

count=$("$program" --path zoom.path --frame-count)
[ "$count" = 12 ] || { echo "parallel-frames: $count frames, not 12" >&2; exit 1; }
last=$((count - 1))

mkdir one planned
"$program" --path zoom.path --frames "0-$last" 'one/f-%03d.png' >one.txt
"$program" --path zoom.path --plan 'planned/f-%03d.png' --chunk 2 >plan.txt
parallel --will-cite -j2 <plan.txt >run.txt

compare_all() {
    for k in $(seq 0 "$last"); do
        name=$(printf 'f-%03d.png' "$k")
        cmp "one/$name" "planned/$name"
    done
}
compare_all
[ "$(grep -c 'status=done' run.txt)" = "$count" ]

# Two frames gone and one cut off: only these three are made again.
rm planned/f-003.png planned/f-010.png
head -c 300 one/f-007.png >planned/f-007.png
parallel --will-cite -j2 <plan.txt >again.txt
compare_all
done_frames=$(grep 'status=done' again.txt | sed 's/ .*//' | sort | tr '\n' ' ')
[ "$done_frames" = "frame=10 frame=3 frame=7 " ] || {
    echo "parallel-frames: made again: $done_frames" >&2
    exit 1
}
[ "$(grep -c 'status=skipped' again.txt)" = $((count - 3)) ]
echo "parallel-frames: $count frames alike, 3 made again"
