#!/usr/bin/env bash
# Joins the tiles of one picture (written by corvane-render --tile I/N) into a deep-zoom
# image pyramid for a browser viewer: NAME.dzi and the folder NAME_files beside it.
#   bash scripts/tiles-to-pyramid.sh 16 'tiles/tile-%02d.png' poster
# Tiles of one size are laid side by side by libvips as they are read. Where the
# picture's sides are not multiples of the tiles a side, the tiles differ by a pixel and
# a grid of equal cells would leave gaps, so they are stitched by corvane-render first
# (CORVANE_RENDER names it; default: the build of scripts/test.sh).
# The joined picture is kept on disk while the pyramid is made: about 3 bytes a pixel
# (4 when stitched), in a temporary folder beside NAME.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
render=${CORVANE_RENDER:-${CORVANE_BUILD_DIR:-$root/build}/tools/render/corvane-render}

if [ $# -ne 3 ]; then
    echo "usage: tiles-to-pyramid.sh N TILE-PATTERN NAME" >&2
    exit 2
fi
count=$1
pattern=$2
name=$3
# The pattern goes to printf: only one integer conversion, and no other '%', is taken.
if ! [[ $count =~ ^[0-9]{1,4}$ ]] || [[ ! ${pattern//%%/} =~ ^[^%]*%0?[0-9]{0,2}d[^%]*$ ]]; then
    echo "tiles-to-pyramid: N is a square number and TILE-PATTERN holds one %d, %5d or %05d" >&2
    exit 2
fi
side=0
while ((side * side < count)); do side=$((side + 1)); done
if ((count < 1 || side * side != count)); then
    echo "tiles-to-pyramid: $count is not a square number of tiles" >&2
    exit 2
fi

# An earlier pyramid (or anything else of that name) is never replaced.
for target in "$name.dzi" "${name}_files"; do
    if [ -e "$target" ]; then
        echo "tiles-to-pyramid: $target exists: remove it or choose another NAME" >&2
        exit 1
    fi
done

source "$root/scripts/deps.sh"
ensure_packages "${CORVANE_PYRAMID_PACKAGES[@]}"

tiles=()
sizes=()
for ((i = 0; i < count; i++)); do
    # shellcheck disable=SC2059  # the pattern was checked above
    tile=$(printf "$pattern" "$i")
    if [ ! -f "$tile" ]; then
        echo "tiles-to-pyramid: $tile: no such tile" >&2
        exit 1
    fi
    tiles+=("$tile")
    sizes+=("$(vipsheader -f width "$tile")x$(vipsheader -f height "$tile")")
done

folder=$(dirname -- "$name")
work=$(mktemp -d "$folder/.pyramid.XXXXXX")
trap 'rm -rf "$work"' EXIT
if [ "$(printf '%s\n' "${sizes[@]}" | sort -u | wc -l)" = 1 ]; then
    # vips takes the list of images as one argument, split at spaces.
    for tile in "${tiles[@]}"; do
        if [[ $tile == *" "* ]]; then
            echo "tiles-to-pyramid: $tile: tile names with spaces cannot be joined" >&2
            exit 1
        fi
    done
    vips arrayjoin "${tiles[*]}" "$work/joined.v" --across "$side"
    joined=$work/joined.v
else
    if [ ! -x "$render" ]; then
        echo "tiles-to-pyramid: the tiles differ in size: build corvane-render to stitch them ($render)" >&2
        exit 1
    fi
    "$render" --stitch "$count" "$pattern" "$work/joined.png" >/dev/null
    joined=$work/joined.png
fi
# Made beside the joined picture and moved into place whole, so that a failed run
# leaves no half pyramid.
vips dzsave "$joined" "$work/pyramid" --suffix .png
mv -n -- "$work/pyramid_files" "${name}_files"
mv -n -- "$work/pyramid.dzi" "$name.dzi"
echo "pyramid=$name.dzi tiles=$count size=$(vipsheader -f width "$joined")x$(vipsheader -f height "$joined")"
