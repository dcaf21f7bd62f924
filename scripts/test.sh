#!/usr/bin/env bash
# Installs what is missing, builds, and runs the tests under a virtual X
# server, with a second one that can switch display modes for the full-screen
# cases (scripts/with-mode-server.sh), private sound servers for the audio
# cases (scripts/with-sound-server.sh) and a Wayland compositor with Xwayland
# for the Wayland cases (scripts/with-wayland-server.sh). Arguments go to
# ctest: `-L unit` runs one label.
#
# With BRINDLE_SANITIZE=1 the build (in build-sanitize/) carries AddressSanitizer,
# UndefinedBehaviorSanitizer and LeakSanitizer; the tests are followed by two
# short captures of the show, and any sanitizer report, from the tests or from
# the programs they start, fails the run. Reports land in the build's
# sanitizer-logs/. Leaks inside the system's GL driver, toolkit and sound
# libraries are suppressed (scripts/lsan-suppressions.txt); ours are not.
#
# With BRINDLE_SANITIZE=thread the build (in build-tsan/) carries
# ThreadSanitizer; the tests are followed by a live start-up from 60 s, whose
# worker fast-forwards the show while the window opens, and a few seconds of
# its frames with the music. Any report fails the run, as above; only races
# inside system libraries are suppressed (scripts/tsan-suppressions.txt).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing_packages "$brindle_root/scripts/test-packages.txt"
generate_test_locale
build_brindle

# -noreset: a bare Xvfb resets when its last client leaves, and a program that
# connects during the reset finds no display.
xvfb=(xvfb-run -a -s "-screen 0 1920x1080x24 -noreset")
servers=("$brindle_root/scripts/with-mode-server.sh" "$brindle_root/scripts/with-sound-server.sh"
    "$brindle_root/scripts/with-wayland-server.sh" "${xvfb[@]}")
cd "$brindle_build"
if [ "$brindle_sanitize" = 0 ]; then
    exec "${servers[@]}" ctest --output-on-failure "$@"
fi

logs="$brindle_build/sanitizer-logs"
rm -rf "$logs"
mkdir -p "$logs"

status=0
if [ "$brindle_sanitize" = thread ]; then
    export TSAN_OPTIONS="exitcode=0:second_deadlock_stack=1:log_path=$logs/tsan:suppressions=$brindle_root/scripts/tsan-suppressions.txt"
    "${servers[@]}" ctest --output-on-failure --timeout 1200 "$@" || status=1

    # The live show opened at 60 s on a private display and sound server:
    # presented frames show that the start-up is over; then it is ended as a
    # user ends it from outside, with SIGTERM.
    source "$brindle_root/scripts/sound-servers.sh"
    live="$logs/live"
    mkdir -p "$live"
    frames_presented() { [ "$(wc -l <"$live/frames.csv")" -gt 30 ]; }
    if start_private_xvfb "$live" && start_pulseaudio "$live"; then
        DISPLAY="$private_display" "$brindle_build/brindle" --no-dialog --windowed --size 320x200 --start 60000 \
            --frame-log "$live/frames.csv" --data "$brindle_build/Data" >"$live/out" 2>&1 &
        brindle=$!
        live_status=0
        wait_until --seconds 300 frames_presented || live_status=1
        kill -TERM "$brindle" 2>/dev/null || true
        wait "$brindle" || live_status=1
        if [ "$live_status" -ne 0 ]; then
            echo "test.sh: the live show from 60 s failed:" >&2
            tail -n 20 "$live/out" >&2
            status=1
        fi
    else
        status=1
    fi
    stop_sound_server
    stop_processes "${private_xvfb:-}"
else
    # Reports are judged from the log files alone (below), so a report does not
    # change a program's exit status: the fault suite still sees the status the
    # program chose, and a leak set aside does not fail a test.
    export ASAN_OPTIONS="exitcode=0:detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:log_path=$logs/asan"
    export UBSAN_OPTIONS="exitcode=0:print_stacktrace=1:halt_on_error=1:log_path=$logs/ubsan"
    export LSAN_OPTIONS="suppressions=$brindle_root/scripts/lsan-suppressions.txt:print_suppressions=0"
    "${servers[@]}" ctest --output-on-failure --timeout 600 "$@" || status=1

    # Two spans of the show, 12 s each at 10 frames per second, into PNG folders.
    for span in 0:12000 88000:100000; do
        from="${span%:*}" to="${span#*:}" out="$brindle_build/sanitize-capture-${span%:*}"
        rm -rf "$out"
        if ! "${xvfb[@]}" "$brindle_build/brindle" --capture "$out" --from "$from" --to "$to" --fps 10 --size 320x200 \
            --data "$brindle_build/Data" > "$logs/capture-$from.out" 2>&1; then
            echo "test.sh: the capture from $from to $to ms failed:" >&2
            tail -n 20 "$logs/capture-$from.out" >&2
            status=1
        fi
    done
fi

# A leak whose caller frames are all unsymbolised comes from a library that
# was unloaded before the exit check (Mesa closes its driver with the display):
# the frames print as "<unknown module>" or under whatever was mapped at that
# address afterwards. Our code is built with symbols and never unloaded, so
# such reports are set aside; every other report fails the run.
only_unloaded_library_leaks() {
    awk '
        /ERROR: AddressSanitizer|runtime error|ERROR: UndefinedBehaviorSanitizer/ { ours = 1 }
        /^(Direct|Indirect) leak/ { inleak = 1; next }
        inleak && /^ *#[1-9][0-9]* 0x[0-9a-f]+ in / { ours = 1 }
        /^$/ { inleak = 0 }
        END { exit ours ? 1 : 0 }
    ' "$1"
}
set_aside=0
for report in "$logs"/asan.* "$logs"/ubsan.* "$logs"/tsan.*; do
    [ -e "$report" ] || continue
    if [[ "$report" != */tsan.* ]] && only_unloaded_library_leaks "$report"; then
        set_aside=$((set_aside + 1))
        continue
    fi
    echo "== $report" >&2
    head -n 60 "$report" >&2
    status=1
done
if [ "$set_aside" -gt 0 ]; then
    echo "test.sh: $set_aside reports set aside (leaks inside unloaded system libraries; kept in $logs)" >&2
fi
if [ "$status" -eq 0 ]; then
    echo "test.sh: clean under the sanitizers" >&2
fi
exit "$status"
