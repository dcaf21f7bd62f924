#!/usr/bin/env bash
# Measures how true a video capture's colours are and whether a lossless one
# keeps every pixel: captures each span as PNG frames and as .mp4, .webm and
# lossless .mkv videos, decodes the videos back to RGB and compares every frame
# with its PNG (tools/frame_compare: the mean absolute error as a percentage of
# full scale). Each lossy video is decoded twice: as BT.709, which is how
# players take HD video without tags, and by its own tags. Runs at nice 10 off
# screen; prints one line per video and span.
#
#   scripts/video-figures.sh                           # the build in build/, 720p30
#   BRINDLE=/old/build/brindle scripts/video-figures.sh    # another build (its Data beside it)
#   VIDEO_FIGURES_SIZE=320x200 VIDEO_FIGURES_SPANS="62000:62200" scripts/video-figures.sh
#   VIDEO_FIGURES_VIDEOS="show.mp4 show.webm" ...      # a build without --lossless
set -euo pipefail
export LC_ALL=C
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
brindle="${BRINDLE:-$brindle_build/brindle}"
data="$(dirname "$brindle")/Data"
compare="$brindle_build/tools/frame_compare"
size="${VIDEO_FIGURES_SIZE:-1280x720}"
fps="${VIDEO_FIGURES_FPS:-30}"
spans="${VIDEO_FIGURES_SPANS:-62000:62200 90000:90200}"
videos="${VIDEO_FIGURES_VIDEOS:-show.mp4 show.webm master.mkv}"
require_built "$brindle" "$data" "$compare"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy

capture() {  # out from to [options...]
    local out="$1" from="$2" to="$3"
    shift 3
    nice -n 10 "$brindle" --capture "$out" --from "$from" --to "$to" --fps "$fps" --size "$size" --data "$data" \
        "$@" 2>"$work/capture.err" || { cat "$work/capture.err" >&2; exit 1; }
}

# The frames of a video as raw RGB; "tags" converts as the stream's tags say,
# "bt709" as BT.709 at TV range whatever they say.
decode() {  # video how out
    local filter=format=rgb24
    [ "$2" = bt709 ] && filter="scale=in_color_matrix=bt709:in_range=tv,format=rgb24"
    ffmpeg -v error -i "$1" -map 0:v -vf "$filter" -f rawvideo -pix_fmt rgb24 -y "$3"
}

tags() {  # video
    ffprobe -v error -select_streams v:0 -show_entries stream=color_space,color_primaries,color_transfer,color_range \
        -of default=noprint_wrappers=1:nokey=1 "$1" | paste -sd/
}

summary() {  # a.rgb b.rgb
    "$compare" "$size" "$1" "$2" | tail -n 1
}

for span in $spans; do
    from="${span%:*}" to="${span#*:}"
    capture "$work/png" "$from" "$to"
    ffmpeg -v error -pattern_type glob -i "$work/png/*.png" -f rawvideo -pix_fmt rgb24 -y "$work/png.rgb"
    for video in $videos; do
        options=()
        [ "$video" = master.mkv ] && options=(--lossless)
        rm -f "$work/$video"
        capture "$work/$video" "$from" "$to" ${options[@]+"${options[@]}"}
        if [ "$video" = master.mkv ]; then
            decode "$work/$video" tags "$work/video.rgb"
            echo "$from-$to ms $video ($(tags "$work/$video")): $(summary "$work/video.rgb" "$work/png.rgb")"
            continue
        fi
        for how in bt709 tags; do
            decode "$work/$video" "$how" "$work/video.rgb"
            echo "$from-$to ms $video ($(tags "$work/$video")), decoded as $how: $(summary "$work/video.rgb" "$work/png.rgb")"
        done
    done
    rm -rf "$work/png"
done
