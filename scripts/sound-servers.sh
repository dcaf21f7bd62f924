# Private sound servers for the tests and the sync meter, sourced, not run:
# a PulseAudio, or a PipeWire with its session manager and PulseAudio
# service, each with a null sink named testnull, on sockets and runtime
# folders of their own under a folder the caller gives. No hardware and no
# system daemon is touched; the servers run at nice 19 without CAP_SYS_NICE,
# so they cannot raise themselves to real-time priority on a shared machine.
#
#   source scripts/sound-servers.sh
#   start_pulseaudio "$dir"   # sets PULSE_SERVER for what follows
#   ... ; stop_sound_server
#   restart_pulseaudio "$dir" 1   # killed, and back a second later (and two more: see below)
#   start_pipewire "$dir"     # sets PULSE_SERVER (its PulseAudio service) and PIPEWIRE_RUNTIME_DIR
#   pipewire_xruns [NS]       # xruns and late clients the graph logged (since CLOCK_MONOTONIC_RAW NS)
#
# PipeWire's graph runs at 44100 Hz with a fixed quantum (PIPEWIRE_QUANTUM,
# 1024 by default), so nothing is resampled and the period never changes
# under a measurement. Its sink is never suspended: the session manager
# suspends a sink idle for 5 s (it then falls back to 48 kHz), and the graph
# that starts again on the next stream takes seconds to settle, the
# monitor's timing running up to 300 ms off meanwhile (measured: a recording
# made right after such a pause needed 25 pieces to map its time, where a
# settled graph needs 1). Its daemon logs at info level, where it reports each
# xrun of a driver ("XRun!") and each client that missed its cycle ("client
# too slow!"); pipewire_xruns counts those lines, by the log's time stamp
# (seconds of CLOCK_MONOTONIC_RAW, which drifts from CLOCK_MONOTONIC by
# NTP's corrections) from a given time on: a stream's first
# cycle is often late, and is no glitch in what a meter judges.

source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

sound_server_pids=()
no_realtime=(setpriv --inh-caps=-sys_nice --bounding-set=-sys_nice)
low_priority=("${no_realtime[@]}" nice -n 19)

start_pulseaudio() {  # dir [socket]
    local dir="$1/pulse"
    mkdir -p -m 700 "$dir"
    env HOME="$dir" XDG_RUNTIME_DIR="$dir" PULSE_RUNTIME_PATH="$dir" PULSE_STATE_PATH="$dir" \
        "${low_priority[@]}" pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
        --high-priority=no --realtime=no --log-target=file:"$dir/log" \
        -L "module-native-protocol-unix auth-anonymous=1 socket=$dir/${2:-native}" \
        -L "module-null-sink sink_name=testnull rate=44100" \
        </dev/null >/dev/null 2>&1 &
    pulseaudio_pid=$!
    sound_server_pids+=($!)
    export PULSE_SERVER="unix:$dir/native"
    if ! wait_until pactl -s "unix:$dir/${2:-native}" info; then
        echo "sound-servers: PulseAudio did not start (see $dir/log)" >&2
        return 1
    fi
}

start_pipewire() {
    local dir="$1/pipewire"
    mkdir -p -m 700 "$dir/run" "$dir/home"
    local run=(env XDG_RUNTIME_DIR="$dir/run" HOME="$dir/home"
        DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/run/bus" PIPEWIRE_RUNTIME_DIR="$dir/run")
    # The session manager needs a session bus to pick a default sink.
    dbus-daemon --session --fork --address="unix:path=$dir/run/bus" --print-pid=1 >"$dir/dbus.pid"
    sound_server_pids+=("$(cat "$dir/dbus.pid")")
    "${run[@]}" PIPEWIRE_DEBUG=3 "${low_priority[@]}" pipewire </dev/null >"$dir/pipewire.log" 2>&1 &
    sound_server_pids+=($!)
    wait_until test -S "$dir/run/pipewire-0" || { echo "sound-servers: PipeWire did not start" >&2; return 1; }
    "${run[@]}" "${low_priority[@]}" wireplumber </dev/null >"$dir/wireplumber.log" 2>&1 &
    sound_server_pids+=($!)
    "${run[@]}" "${low_priority[@]}" pipewire-pulse </dev/null >"$dir/pipewire-pulse.log" 2>&1 &
    sound_server_pids+=($!)
    wait_until test -S "$dir/run/pulse/native" || { echo "sound-servers: PipeWire's PulseAudio service did not start" >&2; return 1; }
    # session.suspend-timeout-seconds=0: never suspended (see above).
    "${run[@]}" pw-cli create-node adapter '{ factory.name=support.null-audio-sink node.name=testnull
        node.description=testnull media.class=Audio/Sink object.linger=true audio.position=[FL FR] session.suspend-timeout-seconds=0 }' >/dev/null
    export PULSE_SERVER="unix:$dir/run/pulse/native" PIPEWIRE_RUNTIME_DIR="$dir/run"
    if ! wait_until sh -c 'pactl info | grep -q "Default Sink: testnull"'; then
        echo "sound-servers: PipeWire chose no default sink" >&2
        return 1
    fi
    local quantum="${PIPEWIRE_QUANTUM:-1024}" forced
    "${run[@]}" pw-metadata -n settings 0 clock.force-rate 44100 >/dev/null
    "${run[@]}" pw-metadata -n settings 0 clock.force-quantum "$quantum" >/dev/null
    forced="$("${run[@]}" pw-metadata -n settings 0 2>/dev/null | grep -o "key:'clock.force-[a-z]*' value:'[0-9]*'" | tr '\n' ' ')"
    echo "sound-servers: PipeWire's graph: ${forced:-nothing forced}" >&2
    case "$forced" in
        *"clock.force-rate' value:'44100'"*"clock.force-quantum' value:'$quantum'"* | \
            *"clock.force-quantum' value:'$quantum'"*"clock.force-rate' value:'44100'"*) ;;
        *) echo "sound-servers: PipeWire did not take the forced rate and quantum" >&2; return 1 ;;
    esac
    pipewire_log="$dir/pipewire.log"
}

pipewire_xruns() {  # [since_ns]
    # A log without one is no failure: grep's status must not reach a caller under pipefail.
    { grep -E 'XRun!|client too slow!' "$pipewire_log" || true; } |
        awk -v since="${1:-0}" '{ t = substr($0, index($0, "][") + 2) + 0; if (t * 1e9 >= since) n++ } END { print n + 0 }'
}

# Kills the PulseAudio that start_pulseaudio started, as a crash would, and
# after the given seconds starts it again on the same socket. A null sink
# nobody asked for a latency renders two seconds at a time, its first block
# when it is loaded, and cannot rewind what it rendered: a stream that comes
# then is first played when the block ends (seen in the server's log: a
# stream uncorked 0.2 s after the start was first played 2.0 s after it).
# A server with a sound card rewinds its buffer for a new stream. So the new
# server starts on a socket of its own with a recording of its sink that asks
# for 10 ms, and is offered on the usual one once its first block is
# through: from then on a stream is played within milliseconds of starting.
restart_pulseaudio() {  # dir seconds
    local dir="$1/pulse"
    kill -KILL "$pulseaudio_pid" 2>/dev/null || true
    wait "$pulseaudio_pid" 2>/dev/null || true
    rm -f "$dir/native"
    sleep "${2:-0}"
    start_pulseaudio "$1" starting || return 1
    "${low_priority[@]}" parec -s "unix:$dir/starting" -d testnull.monitor --latency-msec=10 >/dev/null 2>&1 &
    sound_server_pids+=($!)
    sleep 2
    pactl -s "unix:$dir/starting" load-module module-native-protocol-unix auth-anonymous=1 socket="$dir/native" >/dev/null
}

stop_sound_server() {
    stop_processes "${sound_server_pids[@]}"
    sound_server_pids=()
    unset PULSE_SERVER PIPEWIRE_RUNTIME_DIR
}
