#!/usr/bin/env bash
# Captures a span of the show over many machines with GNU parallel over SSH,
# joins the pieces into one lossless master and encodes the final video once.
#
#   scripts/render-farm.sh --hosts HOSTS --size 1280x720 --fps 30 --from 60000 --to 62000 --jobs 4 show.mp4
#
# HOSTS lists SSH logins one a line, as parallel's --sshloginfile reads them:
# `user@host`, `:` for this machine, `2/host` to run two jobs there at once
# (one each by default: a capture keeps every core of its machine busy).
# Each host runs `brindle` from its PATH (--program names another), installed
# there as on any machine (the Debian package brings the libraries it links);
# every host must run the same build, or frames may differ at the joins.
#
# The span's frames (frame k at floor(k x 1000 / fps) ms) are split into
# --jobs segments on frame boundaries; each is a lossless capture of its own
# span, run on whichever host is free and brought back whole. One more job
# takes the music of the whole span, as one capture writes it, so the music
# has no join. ffmpeg's concat demuxer joins the segments without encoding
# them again into OUT's master (OUT with .master.mkv for its ending), and the
# final video is encoded from it once: H.264 and AAC (.mp4, .mkv) or VP9 and
# Opus (.webm) through the BT.709 matrix, tagged so.
#
# A failed job is tried again on another host (--retries, tries per job,
# default 3). The pieces wait in a hidden folder beside OUT, each written under
# a hidden name and renamed when complete: a run stopped (Ctrl-C) or failed
# leaves them, and the same command later captures only what is missing. A
# job that still failed ends the run with one line naming its host and span,
# and status 1. The segments' folder goes once OUT is written.
#
# PARALLEL_SSH chooses the ssh command (e.g. "ssh -F config"), as for parallel.
set -euo pipefail
export LC_ALL=C
me="$(basename "$0")"

usage() {
    cat >&2 <<EOF
usage: $me --hosts FILE [--size WxH] [--fps N] [--from MS] [--to MS] [--jobs N]
       [--retries N] [--program PATH] OUT
  OUT ends in .mp4, .mkv or .webm; the master is written beside it as NAME.master.mkv
  defaults: --size 1280x720 --fps 60 --from 0 --to 134000, --jobs 2 per host line, --retries 3
EOF
    exit 2
}

fail() {
    echo "$me: $*" >&2
    exit 1
}

hosts="" size=1280x720 fps=60 from=0 to=134000 jobs="" retries=3 program=brindle out=""
while [ $# -gt 0 ]; do
    case "$1" in
    --hosts | --size | --fps | --from | --to | --jobs | --retries | --program)
        [ $# -ge 2 ] || usage
        declare "${1#--}=$2"
        shift 2
        ;;
    -h | --help) usage ;;
    -*) echo "$me: unknown option $1" >&2 && usage ;;
    *)
        [ -z "$out" ] || usage
        out="$1"
        shift
        ;;
    esac
done
whole() { [[ "$1" =~ ^[0-9]+$ ]] && [ "$1" -ge "$2" ] && [ "$1" -le "$3" ]; }
[ -n "$hosts" ] && [ -n "$out" ] || usage
[ -r "$hosts" ] || fail "cannot read the hosts file $hosts"
hosts="$(cd "$(dirname "$hosts")" && pwd)/$(basename "$hosts")"
[[ "$size" =~ ^[0-9]+x[0-9]+$ ]] || { echo "$me: --size $size is not WIDTHxHEIGHT" >&2 && usage; }
whole "$fps" 1 1000 || { echo "$me: --fps $fps is not from 1 to 1000" >&2 && usage; }
whole "$from" 0 134000 && whole "$to" 0 134000 && [ "$from" -lt "$to" ] \
    || { echo "$me: --from and --to need 0 <= from < to <= 134000" >&2 && usage; }
whole "$retries" 1 100 || { echo "$me: --retries $retries is not from 1 to 100" >&2 && usage; }
host_lines="$(grep -cv '^\s*\(#.*\)\?$' "$hosts" || true)"
[ "$host_lines" -gt 0 ] || fail "the hosts file $hosts names no host"
jobs="${jobs:-$((2 * host_lines))}"
whole "$jobs" 1 10000 || { echo "$me: --jobs $jobs is not from 1 to 10000" >&2 && usage; }
case "${out,,}" in
*.mp4 | *.mkv) encode=(-c:v libx264 -preset medium -crf 18 -c:a aac -b:a 192k) ;;
*.webm) encode=(-c:v libvpx-vp9 -crf 30 -b:v 0 -row-mt 1 -deadline good -cpu-used 4 -c:a libopus -b:a 160k) ;;
*) echo "$me: $out does not end in .mp4, .mkv or .webm" >&2 && usage ;;
esac
for tool in parallel ffmpeg ffprobe rsync; do
    command -v "$tool" >/dev/null || fail "$tool is needed but missing; install it (apt-get install $tool)"
done

# Frame k shows floor(k * 1000 / fps) ms; the span holds frames [first, end).
first=$(((from * fps + 999) / 1000))
end=$(((to * fps + 999) / 1000))
frames=$((end - first))
[ "$frames" -gt 0 ] || fail "--from $from --to $to holds no frame at $fps fps; widen the span"
[ "$jobs" -le "$frames" ] || jobs="$frames"

out_dir="$(cd "$(dirname "$out")" && pwd)" || fail "the folder of $out does not exist"
name="$(basename "$out")"
master="$out_dir/${name%.*}.master.mkv"
work="$out_dir/.$name.farm-$size-$fps"
mkdir -p "$work"

# A piece is complete when its video holds all its frames (a stopped capture
# leaves fewer); its name says its span, so one from another split is never taken.
complete() {  # file frames
    [ -s "$1" ] && [ "$(ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets \
        -of csv=p=0 "$1" 2>/dev/null)" = "$2" ]
}

# One line per piece: file, span, frames, size. Boundaries lie on frames, so
# each piece's span holds exactly the frames one capture of the whole would.
pieces="$work/pieces"
: >"$pieces"
for ((j = 0; j < jobs; ++j)); do
    piece_first=$((first + j * frames / jobs)) piece_end=$((first + (j + 1) * frames / jobs))
    a=$((j == 0 ? from : piece_first * 1000 / fps)) b=$((j == jobs - 1 ? to : piece_end * 1000 / fps))
    echo "segment-$a-$b.mkv $a $b $((piece_end - piece_first)) $size" >>"$pieces"
done
# The music of the whole span comes from one capture of the span at a size
# that costs little to draw (the blur's quarter-size targets need 16x16).
echo "music-$from-$to.mkv $from $to $frames 16x16" >>"$pieces"

pending="$work/pending"
: >"$pending"
while read -r file a b count piece_size; do
    if complete "$work/$file" "$count"; then
        continue
    fi
    rm -f "$work/$file"
    echo "$file $a $b $count $piece_size" >>"$pending"
done <"$pieces"
total="$(wc -l <"$pieces")"
todo="$(wc -l <"$pending")"
[ "$todo" -lt "$total" ] && echo "$me: $((total - todo)) of $total pieces are already captured; capturing $todo" >&2

joblog="$work/joblog"
rm -f "$joblog"
started=$(date +%s.%N)
if [ "$todo" -gt 0 ]; then
    # The capture writes a hidden name and the piece takes its own only when
    # brindle finished it: a stopped capture leaves a playable but short video.
    # Its messages come back only when it failed; its own time comes back on
    # stdout, for the figures.
    # A job runs in the login folder of its host (in the segments' folder on
    # this machine), from where parallel brings the piece back and removes it.
    printf -v remote_program '%q' "$program"
    job='began=$(date +%s.%N) && '"$remote_program"' --capture .part-{1} --lossless --from {2} --to {3} --fps '"$fps"
    job+=' --size {5} 2>.log-{1} && echo "{1} $began $(date +%s.%N)" && mv .part-{1} {1} && rm -f .log-{1} '
    job+='|| { status=$?; tail -n 3 .log-{1} >&2; rm -f .part-{1} .log-{1}; exit $status; }'
    progress=--bar
    [ -t 2 ] || progress=
    cd "$work"
    # In the background, so a signal to this script reaches parallel too.
    parallel --sshloginfile "$hosts" -j1 --retries "$retries" --joblog "$joblog" --colsep ' ' \
        --return {1} --cleanup ${progress:+"$progress"} \
        "$job" :::: "$pending" >"$work/times" &
    runner=$!
    stop() {
        kill -INT "$runner" 2>/dev/null || true
        wait "$runner" 2>/dev/null || true
        echo "$me: stopped; the pieces captured so far are kept in $work, and the same command goes on from them" >&2
        exit "$1"
    }
    trap 'stop 130' INT
    trap 'stop 143' TERM
    trap 'stop 129' HUP
    wait "$runner" || true
    trap - INT TERM HUP
    cd - >/dev/null
fi
captured=$(date +%s.%N)

# Whatever is missing now failed: its host and span from the job log.
failed=()
while read -r file a b count piece_size; do
    complete "$work/$file" "$count" && continue
    seq="$(grep -n "^$file " "$pending" | cut -d: -f1)"
    # ssh itself exits 255 when it cannot log in or loses the host.
    why="$(awk -F'\t' -v seq="$seq" 'NR > 1 && $1 == seq {
        print $2 ($8 != 0 ? " (killed by signal " $8 ")" : $7 == 255 ? " (ssh failed)" : " (exit " $7 ")") }' \
        "$joblog" 2>/dev/null | tail -n 1 || true)"
    failed+=("${file%%-*} ${a}-${b} ms on ${why:-no host, not started}")
done <"$pieces"
if [ "${#failed[@]}" -gt 0 ]; then
    list="$(printf '%s, ' "${failed[@]}")"
    fail "${#failed[@]} of $total pieces failed: ${list%, }; the rest are kept in $work, and the same command captures only these"
fi

# The master: the segments' frames as they are, the music once.
list="$work/segments.txt"
: >"$list"
while read -r file _; do
    [[ "$file" == segment-* ]] && echo "file '$work/$file'" >>"$list"
done <"$pieces"
partial="$out_dir/.${name%.*}.master-$$.mkv"
joining=$(date +%s.%N)
ffmpeg -v error -y -f concat -safe 0 -i "$list" -i "$work/music-$from-$to.mkv" -map 0:v -map 1:a -c copy \
    "$partial" || { rm -f "$partial"; fail "ffmpeg could not join the segments in $work into $master"; }
mv "$partial" "$master"
joined=$(date +%s.%N)

# -r before the master: one frame per 1/fps, whatever the container rounded.
partial="$out_dir/.${name%.*}-$$.${name##*.}"
ffmpeg -v error -y -r "$fps" -i "$master" -map 0:v -map 0:a "${encode[@]}" \
    -vf scale=out_color_matrix=bt709:out_range=tv,format=yuv420p \
    -color_primaries bt709 -color_trc bt709 -colorspace bt709 -color_range tv "file:$partial" \
    || { rm -f "$partial"; fail "ffmpeg could not encode $master into $out; the master is kept"; }
mv "$partial" "$out"
encoded=$(date +%s.%N)

capture_seconds="$(awk '{ sum += $3 - $2 } END { printf "%.1f", sum }' "$work/times" 2>/dev/null || echo 0)"
rm -rf "$work"
awk -v started="$started" -v captured="$captured" -v joining="$joining" -v joined="$joined" -v encoded="$encoded" \
    -v capture="$capture_seconds" -v todo="$todo" -v out="$out" -v me="$me" 'BEGIN {
    printf "%s: wrote %s: %d pieces captured in %.1f s (their captures took %.1f s), joined in %.2f s (%.1f %% of that), encoded in %.1f s\n",
        me, out, todo, captured - started, capture, joined - joining, (capture > 0 ? 100 * (joined - joining) / capture : 0),
        encoded - joined > "/dev/stderr" }'
