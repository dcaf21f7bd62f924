#!/usr/bin/env bash
# Measures scripts/render-farm.sh on this machine, over a private sshd (a
# host key and a user key made for the run, on a free port) reached as two
# hosts: a run of the span against one lossless capture of it in one process
# (the master's frames and music, the music against the show's track as
# ffmpeg decodes it), what the join costs beside the captures, and a run
# stopped once half its segments are in, then started again. Needs root (sshd
# wants /run/sshd) and the packages of scripts/test-packages.txt.
#
#   scripts/render-farm-figures.sh                 # 60.0 to 62.0 s at 1280x720, 30 fps, 4 jobs
#   FARM_FIGURES_SPAN=44600:46200 FARM_FIGURES_SIZE=320x200 scripts/render-farm-figures.sh
set -euo pipefail
export LC_ALL=C
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
brindle="$brindle_build/brindle"
compare="$brindle_build/tools/frame_compare"
span="${FARM_FIGURES_SPAN:-60000:62000}"
size="${FARM_FIGURES_SIZE:-1280x720}"
fps="${FARM_FIGURES_FPS:-30}"
jobs="${FARM_FIGURES_JOBS:-4}"
from="${span%:*}" to="${span#*:}"
require_built "$brindle" "$compare" "$brindle_build/Data"

work="$(mktemp -d)"
sshd=
cleanup() {
    [ -n "$sshd" ] && stop_processes "$sshd"
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p /run/sshd
for key in host user; do ssh-keygen -q -t ed25519 -N '' -f "$work/$key"; done
cp "$work/user.pub" "$work/authorized_keys"
# A port nothing answers on.
port="$(shuf -i 20000-60000 -n 1)"
while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do port=$((port + 1)); done
cat >"$work/sshd_config" <<EOF
Port $port
ListenAddress 127.0.0.1
HostKey $work/host
PidFile none
AuthorizedKeysFile $work/authorized_keys
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
EOF
cat >"$work/ssh_config" <<EOF
Host *
  HostName 127.0.0.1
  Port $port
  User root
  IdentityFile $work/user
  IdentitiesOnly yes
  BatchMode yes
  UserKnownHostsFile $work/known_hosts
  LogLevel ERROR
EOF
echo "[127.0.0.1]:$port $(cat "$work/host.pub")" >"$work/known_hosts"
/usr/sbin/sshd -D -e -f "$work/sshd_config" 2>"$work/sshd.log" &
sshd=$!
export PARALLEL_SSH="ssh -F $work/ssh_config"
wait_until --seconds 10 ssh -F "$work/ssh_config" farm-a true || { cat "$work/sshd.log" >&2; exit 1; }
printf 'farm-a\nfarm-b\n' >"$work/hosts"

# The brindle the hosts run: this build, with its data.
printf '#!/bin/sh\nexec nice -n 10 %q "$@" --data %q\n' "$brindle" "$brindle_build/Data" >"$work/brindle"
chmod +x "$work/brindle"
farm=("$brindle_root/scripts/render-farm.sh" --hosts "$work/hosts" --size "$size" --fps "$fps" --from "$from" --to "$to"
    --jobs "$jobs" --program "$work/brindle")
frames() { ffmpeg -v error -i "$1" -map 0:v -fps_mode passthrough -f rawvideo -pix_fmt rgb24 -y "$2"; }
music() { ffmpeg -v error -i "$1" -map 0:a -f f32le -y "$2"; }

began=$(date +%s.%N)
SDL_VIDEODRIVER=offscreen "$work/brindle" --capture "$work/one.mkv" --lossless --from "$from" --to "$to" --fps "$fps" \
    --size "$size" 2>/dev/null
ended=$(date +%s.%N)
echo "one process: $(awk -v a="$began" -v b="$ended" 'BEGIN { printf "%.1f", b - a }') s"

mkdir "$work/run"
"${farm[@]}" "$work/run/show.mp4" 2>"$work/farm.err" || { cat "$work/farm.err" >&2; exit 1; }
grep '^render-farm.sh:' "$work/farm.err"
echo "master: $(stat -c %s "$work/run/show.master.mkv") bytes, one process: $(stat -c %s "$work/one.mkv") bytes"
frames "$work/one.mkv" "$work/one.rgb"
frames "$work/run/show.master.mkv" "$work/farm.rgb"
echo "master against one process: $("$compare" "$size" "$work/farm.rgb" "$work/one.rgb" | tail -n 1)"
music "$work/one.mkv" "$work/one.f32"
music "$work/run/show.master.mkv" "$work/farm.f32"
cmp -s "$work/one.f32" "$work/farm.f32" && same=identical || same=different
echo "master's music against one process: $same, $(stat -c %s "$work/farm.f32") bytes"
# The track as ffmpeg decodes it, from the span's first sample: the level of
# the difference says whether the two line up (a gap or a shift of one
# sample would leave the music's own level).
rate=44100
first=$((((from * fps + 999) / 1000) * rate / fps))
count=$(($(stat -c %s "$work/farm.f32") / 8))
difference() {  # shift: the level of the master's music minus the track's, moved by `shift` samples
    ffmpeg -hide_banner -nostats -i "$work/run/show.master.mkv" -i "$brindle_build/Data/music.mp3" -filter_complex \
        "[1:a]atrim=start_sample=$((first + $1)):end_sample=$((first + $1 + count)),asetpts=N/SR/TB[t];[0:a][t]amerge,pan=stereo|c0=c0-c2|c1=c1-c3,astats=measure_overall=RMS_level:measure_perchannel=none" \
        -f null - 2>&1 | sed -n 's/^.*RMS level dB: //p'
}
echo "master's music minus the track (ffmpeg's decode), RMS dB: $(difference 0); one sample later: $(difference 1)"
echo "the music itself, RMS dB: $(ffmpeg -hide_banner -nostats -i "$work/run/show.master.mkv" \
    -af astats=measure_overall=RMS_level:measure_perchannel=none -f null - 2>&1 | sed -n 's/^.*RMS level dB: //p')"

# Stopped once half the segments are in, then run again.
mkdir "$work/stop"
"${farm[@]}" "$work/stop/show.mp4" 2>"$work/stop.err" &
runner=$!
segments() { find "$work/stop" -name 'segment-*.mkv' | wc -l; }
half() { [ "$(segments)" -ge $((jobs / 2)) ]; }
wait_until --seconds 600 half
# TERM: a background job of a script starts with SIGINT ignored.
kill -TERM "$runner"
wait "$runner" || true
echo "stopped with $(segments) of $jobs segments: $(grep '^render-farm.sh:' "$work/stop.err" | tail -n 1)"
"${farm[@]}" "$work/stop/show.mp4" 2>"$work/resume.err" || { cat "$work/resume.err" >&2; exit 1; }
grep '^render-farm.sh:' "$work/resume.err"
frames "$work/stop/show.master.mkv" "$work/resumed.rgb"
echo "resumed master against one process: $("$compare" "$size" "$work/resumed.rgb" "$work/one.rgb" | tail -n 1)"
