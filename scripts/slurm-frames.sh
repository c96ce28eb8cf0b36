#!/usr/bin/env bash
#SBATCH --job-name=corvane-frames
#SBATCH --cpus-per-task=4
#SBATCH --time=02:00:00
#SBATCH --output=corvane-frames-%A_%a.out
# Renders one chunk of the frames of a zoom path per array task: task T renders frames
# T*CHUNK .. T*CHUNK+CHUNK-1 (the last chunk stops at the last frame). Frames already
# finished are skipped, so resubmitting the same array after a cancel or a failure only
# renders what is missing. Every machine must run the same corvane-render version.
#
#   path=zoom.path chunk=20
#   n=$(corvane-render --path "$path" --frame-count)
#   sbatch --array=0-$(((n + chunk - 1) / chunk - 1)) \
#       --export=ALL,CORVANE_PATH="$PWD/$path",CORVANE_FRAMES="$PWD/frames/frame-%05d.png",CORVANE_CHUNK=$chunk \
#       scripts/slurm-frames.sh
#
# CORVANE_PATH     the path file (on a folder every node sees)
# CORVANE_FRAMES   the frame names, one printf integer conversion (%05d)
# CORVANE_CHUNK    frames a task (default 10)
# CORVANE_RENDER   the renderer (default: corvane-render on PATH)
# CORVANE_REFERENCE  optional: a reference file saved once with --save-reference
# The task's exit code is corvane-render's: 0 rendered or already finished, 1 a frame
# could not be written, 2 the path or the arguments were refused.
set -euo pipefail

fail() {
    echo "slurm-frames: $*" >&2
    exit 2
}
path=${CORVANE_PATH:?set CORVANE_PATH to the path file}
frames=${CORVANE_FRAMES:?set CORVANE_FRAMES to the frame names, e.g. frames/frame-%05d.png}
chunk=${CORVANE_CHUNK:-10}
render=${CORVANE_RENDER:-corvane-render}
task=${SLURM_ARRAY_TASK_ID:?not an array task: submit with sbatch --array=0-M}
[[ $chunk =~ ^[1-9][0-9]{0,5}$ ]] || fail "CORVANE_CHUNK is a whole number from 1, not '$chunk'"
[[ $task =~ ^[0-9]{1,7}$ ]] || fail "SLURM_ARRAY_TASK_ID is not a task number: '$task'"
task=$((10#$task))

count=$("$render" --path "$path" --frame-count) || fail "corvane-render refused $path"
[[ $count =~ ^[0-9]+$ ]] || fail "corvane-render gave no frame count for $path"
first=$((task * chunk))
if ((first >= count)); then
    echo "task $task: frames start at $first, the path has $count: nothing to do"
    exit 0
fi
last=$((first + chunk - 1))
((last < count)) || last=$((count - 1))

reference=()
[ -z "${CORVANE_REFERENCE:-}" ] || reference=(--reference "$CORVANE_REFERENCE")
echo "task $task on $(hostname): frames $first-$last of $count"
exec "$render" --path "$path" "${reference[@]}" --frames "$first-$last" --skipped-exit 0 "$frames"
