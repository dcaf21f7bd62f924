#!/usr/bin/env bash
# Times the live show's start against a bare SDL2 window's: from the moment
# the process begins (tools/timed_exec notes CLOCK_MONOTONIC, then becomes the
# program) to the first presented frame at 1280x720 (CLOCK_MONOTONIC after the
# swap, from the show's --frame-log and the bare window's log of the same
# form), under a private Xvfb. Neither waits for the display's refresh (the
# bare window swaps with interval 0, the show runs with --no-vsync). The
# programs take turns, five runs each; prints each one's best and the show's
# ratio to the bare window.
#
#   scripts/startup-bench.sh                          # the build in build/
#   STARTUP_BENCH_RUNS=9 scripts/startup-bench.sh     # more runs each
#   STARTUP_BENCH_OTHER=/old/build/brindle scripts/startup-bench.sh   # a second show, same runs
set -euo pipefail
# awk and printf read and write the milliseconds with a decimal point.
export LC_ALL=C
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build="$brindle_build"
brindle="${BRINDLE:-$build/brindle}"
other="${STARTUP_BENCH_OTHER:-}"
bare="$build/tools/bare_window"
launcher="$build/tools/timed_exec"
runs="${STARTUP_BENCH_RUNS:-5}"
require_built "$brindle" "$bare" "$launcher" "$build/Data" ${other:+"$other"}

work="$(mktemp -d)"
private_xvfb=
cleanup() {
    [ -n "$private_xvfb" ] && kill "$private_xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

has_frame() { [ "$(wc -l <"$1" 2>/dev/null || echo 0)" -ge 2 ]; }

start_private_xvfb "$work"
export DISPLAY="$private_display" SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy

# Runs one program until its first frame is presented; false when none was.
run_one() {  # name start log program [args...]
    local name="$1" start="$2" log="$3"
    shift 3
    rm -f "$start" "$log"
    if [ "$name" = bare ]; then
        "$launcher" "$start" "$bare" "$log" 2>"$work/$name.err"
        return
    fi
    "$launcher" "$start" "$@" --no-dialog --windowed --no-vsync --size 1280x720 --data "$build/Data" \
        --frame-log "$log" >/dev/null 2>"$work/$name.err" &
    local pid=$! presented=0
    wait_until --seconds 10 has_frame "$log" && presented=1
    kill "$pid" 2>/dev/null || true
    wait "$pid" || true
    [ "$presented" = 1 ]
}

# Prints the milliseconds from process start to the first presented frame.
time_one() {  # name [program args...]
    local name="$1" start="$work/start" log="$work/frames.csv"
    shift
    if ! run_one "$name" "$start" "$log" "$@"; then
        echo "startup-bench: $name presented no frame:" >&2
        cat "$work/$name.err" >&2
        exit 1
    fi
    awk -F, -v start="$(cat "$start")" 'NR == 2 { printf "%.1f\n", ($3 - start) / 1e6 }' "$log"
}

declare -A best
names=(bare brindle)
[ -n "$other" ] && names+=(other)
for run in $(seq "$runs"); do
    for name in "${names[@]}"; do
        case "$name" in
        bare) ms="$(time_one bare)" ;;
        brindle) ms="$(time_one brindle "$brindle")" ;;
        other) ms="$(time_one other "$other")" ;;
        esac
        printf 'run %d %-8s %8.1f ms\n' "$run" "$name" "$ms"
        if [ -z "${best[$name]:-}" ] || awk -v a="$ms" -v b="${best[$name]}" 'BEGIN { exit !(a < b) }'; then
            best[$name]="$ms"
        fi
    done
done
for name in "${names[@]}"; do
    awk -v name="$name" -v ms="${best[$name]}" -v floor="${best[bare]}" \
        'BEGIN { printf "best %-8s %8.1f ms  ratio %.2f\n", name, ms, ms / floor }'
done
