#!/usr/bin/env bash
# Measures the live show's picture against its music where it is heard and
# seen, and fails when the show is out of step or the measurement cannot be
# trusted. Under a private PulseAudio and a private PipeWire (each with a null
# sink), the reference player (the meter's floor: it takes the heard position
# from the server itself, while a silent show draws beside it so both load the
# machine alike) and the show alternate, each playing 15 s from 20 s while
# tools/sync_meter records the sink; each pair is judged on its own: the
# show's median within 5 ms of the reference's, its 95th percentile at most
# 10 ms above. PulseAudio gives one pair, and a run that kills the server 5 s
# into the show and starts it again a second later, recorded across the
# restart: the music that came back is judged. PipeWire gives five pairs
# (AV_SYNC_PAIRS) on a graph forced to 44100 Hz and a fixed quantum; a run
# during which the graph logged an xrun says so and is not counted, and a
# pair is run again in its place (up to three times in all). Last, the show
# runs native on weston nested in Xvfb with a private PulseAudio, and weston's
# own timeline (tools/timeline_check) tells when each frame was seen: at
# least 600 frames seen, none replaced unseen, the show's seen_ns within 1 ms
# of weston's vblank for 99 %, judder p95 at most 2 ms; and the music heard
# at weston's vblank is judged against the reference as above, with 12 ms
# for the 95th percentile. With pulseaudio-loaded (not run by default)
# AV_SYNC_LOADED_PAIRS (3) PulseAudio pairs play 25 s each beside
# AV_SYNC_LOAD (2) busy processes at the show's own priority: the server, at
# nice 19, underruns now and then and the music jumps whoever plays it, so
# the show passes when its music jumped no more often in all its runs than
# the reference's in theirs, the median of its medians is at most 10 ms
# further from 0 than the reference's (a starved reference strays too), and
# it never moved its music (--stats music_seeks 0).
#
# Prints one JSON line per run and one line per judgement; exits 1 if any run
# or judgement failed, naming each.
#
#   scripts/av-sync.sh                      # the build in build/
#   BRINDLE=/path/to/brindle scripts/av-sync.sh   # another build's program, same meter
#   AV_SYNC_ARGS="--audio-offset 100" scripts/av-sync.sh   # options for the show
#   AV_SYNC_SERVERS="pipewire weston" AV_SYNC_DETAILS=DIR scripts/av-sync.sh   # some servers; offsets per frame into DIR
#   AV_SYNC_SERVERS=pulseaudio-loaded scripts/av-sync.sh   # the show against the reference on a busy machine
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/sound-servers.sh"
build="$brindle_build"
brindle="${BRINDLE:-$build/brindle}"
meter="$build/tools/sync_meter"
player="$build/tools/reference_player"
timeline_check="$build/tools/timeline_check"
track="$build/Data/music.mp3"
require_built "$brindle" "$meter" "$player" "$timeline_check" "$track"

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

failures=()
failed() {  # what why
    failures+=("$1: $2")
    echo "av-sync: FAILED $1: $2"
}

# A number from a one-line JSON object.
field() {  # file name
    grep -o "\"$2\":[-0-9.e+]*" "$1" | head -n 1 | cut -d: -f2
}

# The show's limits in a pair: its median within 5 ms of the reference's,
# its 95th percentile at most `slack` ms above the reference's.
pair_limits() {  # reference.json slack
    local median p95
    # A failed reference is no floor; the show is still measured, on the meter's own checks.
    grep -q '"failure"' "$1" && return 0
    median="$(field "$1" median_ms)" p95="$(field "$1" p95_abs_ms)"
    awk -v m="$median" -v p="$p95" -v s="$2" 'BEGIN { printf "--median-within %.2f:%.2f --max-p95-ms %.2f", m - 5, m + 5, p + s }'
}

from=20000 seconds=15
# Where the shows draw: the private Xvfb, or the compositor's Wayland socket.
show_env() {
    if [ -n "${BRINDLE_WAYLAND_DISPLAY:-}" ]; then
        echo "WAYLAND_DISPLAY=$BRINDLE_WAYLAND_DISPLAY SDL_VIDEODRIVER=wayland"
    else
        echo "DISPLAY=$private_display SDL_VIDEODRIVER=x11"
    fi
}

# One run under the current server: the meter records while the show (run
# brindle) or the reference player (run reference) plays. Leaves the meter's
# JSON in $work/$label.json and its status in meter_status; more words are
# the meter's limits.
measure() {  # label run [meter options...]
    local label="$1" run="$2" log="$work/$1.csv"
    shift 2
    meter_status=0
    "$meter" --track "$track" --frame-log "$log" --seconds $((seconds + 4)) \
        ${AV_SYNC_DETAILS:+--details "$AV_SYNC_DETAILS/$label.csv"} "$@" \
        >"$work/$label.json" 2>"$work/$label.err" &
    local meter_pid=$!
    running+=("$meter_pid")
    sleep 0.5
    # shellcheck disable=SC2046
    if [ "$run" = brindle ]; then
        # shellcheck disable=SC2086
        env -u DISPLAY -u WAYLAND_DISPLAY $(show_env) "${no_realtime[@]}" "$brindle" --no-dialog --windowed \
            --size 320x200 --start "$from" --frame-log "$log" --data "$build/Data" ${AV_SYNC_ARGS:-} ${show_args:-} \
            >"$work/brindle.out" 2>"$work/brindle.err" &
        local show=$!
        running+=("$show")
        sleep "$seconds"
        kill -INT "$show" 2>/dev/null || true
        reap "$show" || true
        cat "$work/brindle.err" >&2
    else
        env -u DISPLAY -u WAYLAND_DISPLAY $(show_env) SDL_AUDIODRIVER=dummy "${no_realtime[@]}" "$brindle" \
            --no-dialog --windowed --size 320x200 --start "$from" --data "$build/Data" >/dev/null 2>&1 &
        local load=$!
        running+=("$load")
        "${no_realtime[@]}" "$player" --track "$track" --from "$from" --seconds "$seconds" --frame-log "$log"
        kill -INT "$load" 2>/dev/null || true
        reap "$load" || true
    fi
    reap "$meter_pid" || meter_status=$?
    report "$label" "$work/$label.json"
    [ "$meter_status" = 0 ] || failed "$label" "$(cat "$work/$label.err")"
}

report() {  # label json
    printf '{"run":"%s",%s\n' "$1" "$(cut -c2- "$2")"
}

# A reference and a show, the show judged against the reference.
measure_pair() {  # label slack
    local reference_status
    measure "$1-reference" reference
    reference_status="$meter_status"
    # shellcheck disable=SC2046
    measure "$1-brindle" brindle $(pair_limits "$work/$1-reference.json" "$2")
    [ "$meter_status" = 0 ] && [ "$reference_status" = 0 ]
}

# The show's PulseAudio is killed 5 s in and started again a second later;
# the meter records across it, connects again and judges the music that
# came back: when it was back, and its offset against the limits of the pair
# before.
measure_restart() {
    local log="$work/restart.csv"
    # shellcheck disable=SC2046
    "$meter" --track "$track" --frame-log "$log" --seconds $((seconds + 3)) --after-reconnect --min-frames 250 \
        $(pair_limits "$work/pulseaudio-reference.json" 10) \
        ${AV_SYNC_DETAILS:+--details "$AV_SYNC_DETAILS/pulseaudio-restart.csv"} \
        >"$work/restart.json" 2>"$work/restart.err" &
    local meter_pid=$! status=0
    running+=("$meter_pid")
    sleep 0.5
    # shellcheck disable=SC2086
    env DISPLAY="$private_display" SDL_VIDEODRIVER=x11 "${no_realtime[@]}" "$brindle" --no-dialog --windowed \
        --size 320x200 --start "$from" --frame-log "$log" --data "$build/Data" ${AV_SYNC_ARGS:-} \
        >"$work/brindle.out" 2>"$work/brindle.err" &
    local show=$!
    running+=("$show")
    sleep 5
    restart_pulseaudio "$work" 1
    sleep $((seconds - 6))
    kill -INT "$show" 2>/dev/null || true
    reap "$show" || true
    reap "$meter_pid" || status=$?
    report pulseaudio-restarted "$work/restart.json"
    local gone back since="?"
    gone="$(field "$work/restart.json" music_back_after_ms)" back="$(field "$work/restart.json" server_back_after_ms)"
    # -1 where the music or the server never came back.
    [ "${gone:--1}" -ge 0 ] && [ "${back:--1}" -ge 0 ] && since=$((gone - back))
    echo "av-sync: pulseaudio restarted: music back ${gone:-?} ms after the server went, $since" \
        "ms after the meter had it back; then median $(field "$work/restart.json" median_ms) ms, p95 $(field "$work/restart.json" p95_abs_ms)" \
        "ms, $(field "$work/restart.json" jumps) jumps"
    [ "$status" = 0 ] || failed pulseaudio-restarted "$(cat "$work/restart.err")"
}

# Pairs under PulseAudio on a busy machine: busy loops at the show's
# priority for the pairs' whole length. Which player the starved server
# underruns on differs from run to run more than the players do, so the
# pairs are judged together: the show's jumps in all against the
# reference's, the median of its medians against theirs.
measure_loaded() {
    local busy=() n pairs="${AV_SYNC_LOADED_PAIRS:-3}" label seeks
    local show_jumps=0 reference_jumps=0 show_medians=() reference_medians=() all_seeks=()
    for n in $(seq "${AV_SYNC_LOAD:-2}"); do
        "${no_realtime[@]}" sh -c 'while :; do :; done' &
        busy+=($!)
        running+=($!)
    done
    seconds=25 show_args=--stats
    # Underruns leave windows of silence and jumps, and a starved player's
    # music strays from its log: only the comparison judges.
    local loose=(--min-matched 20 --max-off-stretch-ms 1e9 --max-jumps 1000000)
    for n in $(seq "$pairs"); do
        label="loaded-$n"
        measure "$label-reference" reference "${loose[@]}"
        measure "$label-brindle" brindle "${loose[@]}"
        seeks="$(field "$work/brindle.out" music_seeks)"
        all_seeks+=("${seeks:-unknown}")
        reference_jumps=$((reference_jumps + $(field "$work/$label-reference.json" jumps || echo 0)))
        show_jumps=$((show_jumps + $(field "$work/$label-brindle.json" jumps || echo 0)))
        reference_medians+=("$(field "$work/$label-reference.json" median_ms)")
        show_medians+=("$(field "$work/$label-brindle.json" median_ms)")
        echo "av-sync: $label: show jumps $(field "$work/$label-brindle.json" jumps), median" \
            "${show_medians[-1]:-?} ms, music_seeks ${seeks:-unknown}, frames dropped" \
            "$(field "$work/brindle.out" frames_dropped); reference jumps" \
            "$(field "$work/$label-reference.json" jumps), median ${reference_medians[-1]:-?} ms"
    done
    show_args= seconds=15
    stop_processes "${busy[@]}"
    local show_median reference_median
    show_median="$(median_of "${show_medians[@]}")" reference_median="$(median_of "${reference_medians[@]}")"
    echo "av-sync: loaded, $pairs pairs: show jumps $show_jumps, median of medians ${show_median:-?} ms;" \
        "reference jumps $reference_jumps, median of medians ${reference_median:-?} ms"
    [ "$show_jumps" -le "$reference_jumps" ] ||
        failed loaded "the show's music jumped $show_jumps times, the reference's $reference_jumps"
    if [ -z "$show_median" ] || [ -z "$reference_median" ]; then
        failed loaded "a run was not measured"
    elif ! awk -v a="$show_median" -v b="$reference_median" 'BEGIN { exit !((a < 0 ? -a : a) <= (b < 0 ? -b : b) + 10) }'; then
        failed loaded "the show's median $show_median ms is more than 10 ms further off than the reference's $reference_median ms"
    fi
    for seeks in "${all_seeks[@]}"; do
        [ "$seeks" = 0 ] || failed loaded "the show moved its music $seeks times in a run"
    done
}

# The median of some numbers; nothing when one is missing.
median_of() {  # numbers...
    local x
    for x in "$@"; do [ -n "$x" ] || return 0; done
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { if (NR) print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

# The graph's xruns and late clients while a run was judged (from its
# settled music on); 0 when the run judged nothing.
judged_xruns() {  # run.json
    local from
    from="$(field "$1" judged_from_raw_ns)"
    if [ -n "$from" ]; then pipewire_xruns "$from"; else echo 0; fi
}

measure_pipewire_pairs() {
    local wanted="${AV_SYNC_PAIRS:-5}" counted=0 attempt=0 xruns label judged
    while [ "$counted" -lt "$wanted" ] && [ "$attempt" -lt $((wanted + 3)) ]; do
        attempt=$((attempt + 1))
        label="pipewire-$attempt"
        judged=0
        measure "$label-reference" reference
        judged="$meter_status"
        xruns="$(judged_xruns "$work/$label-reference.json")"
        if [ "$xruns" = 0 ]; then
            # shellcheck disable=SC2046
            measure "$label-brindle" brindle $(pair_limits "$work/$label-reference.json" 10)
            [ "$meter_status" = 0 ] || judged="$meter_status"
            xruns=$((xruns + $(judged_xruns "$work/$label-brindle.json")))
        fi
        if [ "$xruns" -gt 0 ]; then
            # Not counted: a failure it caused is withdrawn with it.
            local kept=() f
            for f in "${failures[@]}"; do
                case "$f" in "$label-"*) ;; *) kept+=("$f") ;; esac
            done
            failures=("${kept[@]}")
            echo "av-sync: $label: $xruns xruns or late clients in the graph while judged; not counted"
            continue
        fi
        counted=$((counted + 1))
        echo "av-sync: $label: show median $(field "$work/$label-brindle.json" median_ms) ms," \
            "p95 $(field "$work/$label-brindle.json" p95_abs_ms) ms; reference median" \
            "$(field "$work/$label-reference.json" median_ms) ms, p95 $(field "$work/$label-reference.json" p95_abs_ms) ms;" \
            "rate error $(field "$work/$label-brindle.json" rate_error_ppm) ppm, residual p95" \
            "$(field "$work/$label-brindle.json" residual_p95_ms) ms; xruns 0; $([ "$judged" = 0 ] && echo pass || echo FAIL)"
    done
    [ "$counted" -ge "$wanted" ] || failed pipewire "only $counted of $attempt pairs ran without an xrun; $wanted needed"
}

# Inside scripts/with-wayland-server.sh: the show native on weston, with
# weston's timeline recorded beside it.
measure_weston() {
    local timeline="$work/timeline.json"
    export XDG_RUNTIME_DIR="${BRINDLE_WAYLAND_DISPLAY%/*}"
    start_pulseaudio "$work"
    measure weston-reference reference
    WAYLAND_DISPLAY="$BRINDLE_WAYLAND_DISPLAY" weston-debug -o "$timeline" timeline 2>"$work/weston-debug.err" &
    local debug=$!
    running+=("$debug")
    local limits
    limits="$(pair_limits "$work/weston-reference.json" 12)"
    # shellcheck disable=SC2086
    measure weston-brindle brindle $limits --save-recording "$work/weston.rec"
    sleep 0.3
    kill "$debug" 2>/dev/null || true
    reap "$debug" || true
    local status=0
    "$timeline_check" --timeline "$timeline" --frame-log "$work/weston-brindle.csv" \
        --write-frame-log "$work/weston-seen.csv" --min-frames 600 --max-replaced 0 --min-agree-percent 99 \
        --max-judder-p95-ms 2 >"$work/timeline-check.json" 2>"$work/timeline-check.err" || status=$?
    report weston-timeline "$work/timeline-check.json"
    [ "$status" = 0 ] || failed weston-timeline "$(cat "$work/timeline-check.err")"
    [ -s "$work/weston-seen.csv" ] || return 0
    # The same recording, the frames placed at weston's own vblanks.
    status=0
    # shellcheck disable=SC2086
    "$meter" --track "$track" --frame-log "$work/weston-seen.csv" --recording "$work/weston.rec" $limits \
        >"$work/weston-seen.json" 2>"$work/weston-seen.err" || status=$?
    report weston-seen-by-weston "$work/weston-seen.json"
    [ "$status" = 0 ] || failed weston-seen-by-weston "$(cat "$work/weston-seen.err")"
    stop_sound_server
}

if [ -n "${BRINDLE_WAYLAND_DISPLAY:-}" ]; then
    measure_weston
else
    start_private_xvfb "$work" nice -n 19
    for server in ${AV_SYNC_SERVERS:-pulseaudio pipewire weston}; do
        case "$server" in
            pulseaudio)
                start_pulseaudio "$work"
                measure_pair pulseaudio 10 || true
                measure_restart
                stop_sound_server
                ;;
            pulseaudio-loaded)
                start_pulseaudio "$work"
                measure_loaded
                stop_sound_server
                ;;
            pipewire)
                start_pipewire "$work"
                measure_pipewire_pairs
                stop_sound_server
                ;;
            weston)
                # The same script, run again beside a compositor of its own; its failures are its lines.
                weston_status=0
                AV_SYNC_SERVERS=weston "$brindle_root/scripts/with-wayland-server.sh" "$0" || weston_status=$?
                [ "$weston_status" = 0 ] || failures+=("weston: see above")
                ;;
            *) failed "$server" "not a server this script knows (pulseaudio, pulseaudio-loaded, pipewire, weston)" ;;
        esac
    done
fi

if [ "${#failures[@]}" -gt 0 ]; then
    echo "av-sync: ${#failures[@]} failed: $(printf '%s; ' "${failures[@]}")" >&2
    exit 1
fi
echo "av-sync: every run passed"
