#!/usr/bin/env bash
# Measures the live show's picture against its music where it is heard: under
# a private PulseAudio and a private PipeWire (each with a null sink), the
# show plays at 320x200 from 20 s for 15 s with a frame log while
# tools/sync_meter records the sink; then, under the same server, the
# reference player plays the same span and is measured the same way, which
# gives the meter's own floor (with a silent show drawing beside it, so that
# both runs load the machine alike). Under PulseAudio a third run kills the
# server mid-show and starts it again, and measures the music that comes
# back. Prints one JSON line per server and run.
#
#   scripts/av-sync.sh                      # the build in build/
#   BRINDLE=/path/to/brindle scripts/av-sync.sh   # another build's program, same meter
#   AV_SYNC_ARGS="--audio-offset 100" scripts/av-sync.sh   # options for the show
#   AV_SYNC_SERVERS=pipewire AV_SYNC_DETAILS=DIR scripts/av-sync.sh   # one server; offsets per frame into DIR
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/sound-servers.sh"
build="$brindle_build"
brindle="${BRINDLE:-$build/brindle}"
meter="$build/tools/sync_meter"
player="$build/tools/reference_player"
track="$build/Data/music.mp3"
require_built "$brindle" "$meter" "$player" "$track"

work="$(mktemp -d)"
private_xvfb=
# The background processes (the meter, the shows) still running; cleanup
# stops them, so that a failed step or Ctrl-C leaves none of them behind.
running=()
cleanup() {
    stop_processes "${running[@]}"
    stop_sound_server
    [ -n "$private_xvfb" ] && kill "$private_xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Waits for a background process and takes it off the running list; returns
# its exit status.
reap() {  # pid
    local status=0 pid kept=()
    wait "$1" || status=$?
    for pid in "${running[@]}"; do
        [ "$pid" = "$1" ] || kept+=("$pid")
    done
    running=("${kept[@]}")
    return "$status"
}

start_private_xvfb "$work" nice -n 19
display="$private_display"

from=20000 seconds=15
measure() {  # server run
    local server="$1" run="$2" log="$work/$1-$2.csv"
    "$meter" --track "$track" --frame-log "$log" --seconds $((seconds + 4)) ${AV_SYNC_DETAILS:+--details "$AV_SYNC_DETAILS/$1-$2.csv"} >"$work/meter.json" &
    local meter_pid=$!
    running+=("$meter_pid")
    sleep 0.5
    if [ "$run" = brindle ]; then
        # shellcheck disable=SC2086
        env DISPLAY="$display" SDL_VIDEODRIVER=x11 "${no_realtime[@]}" "$brindle" --no-dialog --windowed \
            --size 320x200 --start "$from" --frame-log "$log" --data "$build/Data" ${AV_SYNC_ARGS:-} \
            >"$work/brindle.out" 2>"$work/brindle.err" &
        local show=$!
        running+=("$show")
        sleep "$seconds"
        kill -INT "$show" 2>/dev/null || true
        reap "$show" || true
        cat "$work/brindle.err" >&2
    else
        # The floor is taken under the same load: a silent show draws beside the player.
        env DISPLAY="$display" SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy "${no_realtime[@]}" "$brindle" \
            --no-dialog --windowed --size 320x200 --start "$from" --data "$build/Data" >/dev/null 2>&1 &
        local load=$!
        running+=("$load")
        "${no_realtime[@]}" "$player" --track "$track" --from "$from" --seconds "$seconds" --frame-log "$log"
        kill -INT "$load" 2>/dev/null || true
        reap "$load" || true
    fi
    reap "$meter_pid"
    printf '{"server":"%s","run":"%s",%s\n' "$server" "$run" "$(cut -c2- "$work/meter.json")"
}

# The show's PulseAudio is killed 5 s in and started again a second later;
# the meter records from the moment the server answers again. first_heard_ms
# says how soon the music was back, the figures where it came back.
measure_restart() {
    local log="$work/restart.csv"
    # shellcheck disable=SC2086
    env DISPLAY="$display" SDL_VIDEODRIVER=x11 "${no_realtime[@]}" "$brindle" --no-dialog --windowed \
        --size 320x200 --start "$from" --frame-log "$log" --data "$build/Data" ${AV_SYNC_ARGS:-} \
        >"$work/brindle.out" 2>"$work/brindle.err" &
    local show=$!
    running+=("$show")
    sleep 5
    restart_pulseaudio "$work" 1
    "$meter" --track "$track" --frame-log "$log" --seconds 8 \
        ${AV_SYNC_DETAILS:+--details "$AV_SYNC_DETAILS/pulseaudio-restart.csv"} >"$work/meter.json"
    kill -INT "$show" 2>/dev/null || true
    reap "$show" || true
    printf '{"server":"pulseaudio","run":"brindle-restarted",%s\n' "$(cut -c2- "$work/meter.json")"
}

for server in ${AV_SYNC_SERVERS:-pulseaudio pipewire}; do
    "start_$server" "$work"
    measure "$server" brindle
    measure "$server" reference
    [ "$server" = pulseaudio ] && measure_restart
    stop_sound_server
done
