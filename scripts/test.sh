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
if [ "$brindle_sanitize" != 1 ]; then
    exec "${servers[@]}" ctest --output-on-failure "$@"
fi

logs="$brindle_build/sanitizer-logs"
rm -rf "$logs"
mkdir -p "$logs"
# Reports are judged from the log files alone (below), so a report does not
# change a program's exit status: the fault suite still sees the status the
# program chose, and a leak set aside does not fail a test.
export ASAN_OPTIONS="exitcode=0:detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:log_path=$logs/asan"
export UBSAN_OPTIONS="exitcode=0:print_stacktrace=1:halt_on_error=1:log_path=$logs/ubsan"
export LSAN_OPTIONS="suppressions=$brindle_root/scripts/lsan-suppressions.txt:print_suppressions=0"

status=0
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
for report in "$logs"/asan.* "$logs"/ubsan.*; do
    [ -e "$report" ] || continue
    if only_unloaded_library_leaks "$report"; then
        echo "test.sh: set aside (leak inside an unloaded system library): $report" >&2
        continue
    fi
    echo "== $report" >&2
    head -n 60 "$report" >&2
    status=1
done
if [ "$status" -eq 0 ]; then
    echo "test.sh: tests and captures clean under the sanitizers" >&2
fi
exit "$status"
