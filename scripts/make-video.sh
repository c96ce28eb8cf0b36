#!/usr/bin/env bash
# Encodes a numbered sequence of PNG frames into an mp4 video with ffmpeg.
#
#   scripts/make-video.sh FRAME-PATTERN OUT.mp4 [--fps N] [--codec h264|av1] [--crf Q]
#
# FRAME-PATTERN names the frames with one printf integer conversion (%d, %5d, %05d), as
# corvane-render --frames writes them: frames/frame-%05d.png. The sequence runs from the
# lowest to the highest number found; a gap in it is refused before anything is encoded.
# The video is written under a temporary name, its frames counted with ffprobe, and only
# then renamed to OUT.mp4. An odd width or height gains one black column or row (the
# yuv420p format every player reads needs even sides).
# Defaults: 30 frames a second, h264 (libx264) at quality 18; av1 uses libsvtav1 where
# ffmpeg has it, else libaom-av1, at quality 30. Exit codes: 0 done, 1 failed, 2 refused.
# The frame pattern is used as a printf format on purpose, once checked.
# shellcheck disable=SC2059
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

usage() {
    echo "usage: $(basename "$0") FRAME-PATTERN OUT.mp4 [--fps N] [--codec h264|av1] [--crf Q]" >&2
    exit 2
}
refuse() {
    echo "make-video: $*" >&2
    exit 2
}
fail() {
    echo "make-video: $*" >&2
    exit 1
}

pattern='' out='' fps=30 codec=h264 crf=''
while (($#)); do
    case $1 in
    --fps | --codec | --crf)
        (($# >= 2)) || usage
        case $1 in
        --fps) fps=$2 ;;
        --codec) codec=$2 ;;
        --crf) crf=$2 ;;
        esac
        shift 2
        ;;
    -h | --help) usage ;;
    -*) refuse "unknown option $1" ;;
    *)
        if [ -z "$pattern" ]; then
            pattern=$1
        elif [ -z "$out" ]; then
            out=$1
        else
            usage
        fi
        shift
        ;;
    esac
done
[ -n "$pattern" ] && [ -n "$out" ] || usage

[[ $fps =~ ^[1-9][0-9]{0,2}$ ]] && ((fps <= 240)) || refuse "--fps takes a whole number from 1 to 240, not '$fps'"
case $codec in
h264) : "${crf:=18}" ;;
av1) : "${crf:=30}" ;;
*) refuse "--codec is h264 or av1, not '$codec'" ;;
esac
[[ $crf =~ ^[0-9]{1,2}$ ]] && ((10#$crf <= 63)) || refuse "--crf takes a whole number from 0 to 63, not '$crf'"
crf=$((10#$crf))
[ "$codec" = h264 ] && ((crf > 51)) && refuse "--crf for h264 is 0 to 51, not $crf"

# The one integer conversion of the pattern; any other '%' is refused, so that the names
# printf makes are exactly the names looked for.
conversion_re='^([^%]*)(%0?[0-9]{0,2}d)([^%]*)$'
[[ $pattern =~ $conversion_re ]] ||
    refuse "the frame pattern needs exactly one integer conversion (%d, %5d or %05d) and no other '%': $pattern"
prefix=${BASH_REMATCH[1]} suffix=${BASH_REMATCH[3]}
[[ ${pattern##*/} == *.[pP][nN][gG] ]] || refuse "frames are PNG files (.png): $pattern"
[[ $out == *.[mM][pP]4 ]] || refuse "the video is an .mp4 file: $out"
if [ -e "$out" ] || [ -L "$out" ]; then
    [ -f "$out" ] && [ ! -L "$out" ] || refuse "$out exists and is not a regular file; it is left alone"
fi
out_dir=$(dirname "$out")
[ -d "$out_dir" ] || fail "no folder $out_dir for the video"

source "$root/scripts/deps.sh"
ensure_packages ffmpeg

# The frame numbers present: every name the glob finds whose middle printf turns back
# into the very same name.
# printf reads backslashes in its format as escapes; in a file name they are themselves.
format=${pattern//\\/\\\\}
numbers=()
shopt -s nullglob
for name in "$prefix"*"$suffix"; do
    middle=${name#"$prefix"}
    middle=${middle%"$suffix"}
    digits=${middle#"${middle%%[! ]*}"}
    [[ $digits =~ ^[0-9]{1,9}$ ]] || continue
    n=$((10#$digits))
    printf -v made -- "$format" "$n"
    [ "$made" = "$name" ] && numbers+=("$n")
done
shopt -u nullglob
((${#numbers[@]})) || refuse "no frames match $pattern"
mapfile -t numbers < <(printf '%s\n' "${numbers[@]}" | sort -n -u)
first=${numbers[0]} last=${numbers[-1]}
count=$((last - first + 1))
if ((${#numbers[@]} != count)); then
    missing=()
    for ((n = first, i = 0; n <= last; n++)); do
        if ((numbers[i] == n)); then
            ((++i))
        else
            printf -v name -- "$format" "$n"
            missing+=("$name")
            ((${#missing[@]} == 5)) && break
        fi
    done
    refuse "$((count - ${#numbers[@]})) of frames $first-$last are missing, first $(printf '%s ' "${missing[@]}")"
fi
for ((n = first; n <= last; n++)); do
    printf -v name -- "$format" "$n"
    [ -f "$name" ] && [ -r "$name" ] || refuse "$name is not a readable file"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/make-video.XXXXXX")
partial=
cleanup() {
    rm -rf "$work"
    [ -z "$partial" ] || rm -f "$partial"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# ffmpeg reads the frames through links numbered from 0 in a folder of ours: its own
# pattern rules (it pads %5d with zeros) and odd characters in the names never matter.
for ((n = first; n <= last; n++)); do
    printf -v name -- "$format" "$n"
    [[ $name == /* ]] || name=$PWD/$name
    printf -v link '%s/f%09d.png' "$work" $((n - first))
    ln -s -- "$name" "$link"
done

printf -v name -- "$format" "$first"
size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0:s=x \
    -- "$name") || fail "$name is not a picture ffmpeg reads"
[[ $size =~ ^([0-9]+)x([0-9]+)$ ]] || fail "$name is not a picture ffmpeg reads"
width=${BASH_REMATCH[1]} height=${BASH_REMATCH[2]}

case $codec in
h264) encoder=(-c:v libx264 -preset slow -crf "$crf") ;;
av1)
    # SVT-AV1 takes frames from 64 x 64 up.
    # Read whole: grep -q stopping early would break ffmpeg's pipe, failing the pipeline.
    encoders=$(ffmpeg -hide_banner -encoders 2>/dev/null) || encoders=''
    if ((width >= 64 && height >= 64)) && grep -qw libsvtav1 <<<"$encoders"; then
        encoder=(-c:v libsvtav1 -preset 8 -crf "$crf")
    elif grep -qw libaom-av1 <<<"$encoders"; then
        encoder=(-c:v libaom-av1 -cpu-used 6 -row-mt 1 -crf "$crf" -b:v 0)
    else
        fail "this ffmpeg has no AV1 encoder (libsvtav1 or libaom-av1)"
    fi
    ;;
esac

partial=$(mktemp "$out_dir/.$(basename "$out").XXXXXX")
echo "Encoding $count frames ($first-$last) of ${width}x$height at $fps frames a second with ${encoder[1]}"

# The bar follows ffmpeg's progress reports ("frame=N" lines) on a pipe of their own.
draw_bar() {
    local finished=$1 width=40 filled
    filled=$((finished * width / count))
    printf '\r[%-*s] %d/%d' "$width" "$(printf '%*s' "$filled" '' | tr ' ' '#')" "$finished" "$count" >&2
}
show_progress() {
    local line shown=-1 finished
    while IFS= read -r line; do
        [[ $line == frame=* ]] || continue
        finished=${line#frame=}
        [[ $finished =~ ^[0-9]+$ ]] || continue
        ((finished > count)) && finished=$count
        if [ -t 2 ]; then
            draw_bar "$finished"
        elif ((finished * 10 / count > shown)); then
            shown=$((finished * 10 / count))
            echo "  $finished/$count frames" >&2
        fi
    done
    [ -t 2 ] && echo >&2
    return 0
}

status=0
ffmpeg -hide_banner -nostdin -nostats -loglevel error -y \
    -framerate "$fps" -start_number 0 -i "$work/f%09d.png" \
    -xerror -vf 'pad=ceil(iw/2)*2:ceil(ih/2)*2' -pix_fmt yuv420p "${encoder[@]}" \
    -fps_mode passthrough -movflags +faststart -progress pipe:1 -f mp4 "$partial" \
    2>"$work/ffmpeg.log" | show_progress || status=$?
if ((status != 0)); then
    cat "$work/ffmpeg.log" >&2
    fail "ffmpeg could not encode the frames; $out is unchanged"
fi

counted=$(ffprobe -v error -count_frames -select_streams v:0 \
    -show_entries stream=nb_read_frames -of default=noprint_wrappers=1:nokey=1 "$partial")
[ "$counted" = "$count" ] ||
    fail "the video holds ${counted:-no} frames instead of $count; $out is unchanged"
chmod "$(printf '%o' $((0666 & ~$(umask))))" "$partial"
mv -f -- "$partial" "$out" || fail "could not rename the video to $out"
partial=
echo "Wrote $out: $counted frames (ffprobe), $fps frames a second"
