#!/bin/sh
# Drives the real program through its launch dialog on an X display.
#
#   launch_dialog_e2e.sh BRINDLE DATA_DIR PROBE CASE
#     launch     Return launches the show, Escape in the show ends it: status 0
#     quit       Escape in the dialog: status 255, no show window ever appears
#     close      the close request a close box sends: the same
#     nodisplay  no display at all: one line on stderr, non-zero status
# PROBE is the x_window_probe helper; keys are typed with xdotool.
set -u
brindle=$1
data=$2
probe=$3
case_name=$4
dialog_title='brindle kiln 2.0'
show_title='brindle2o16'
work=$(mktemp -d)
pid=
trap 'rm -rf "$work"; [ -n "$pid" ] && kill "$pid" 2>/dev/null' EXIT

fail() {
    echo "FAIL: $case_name: $*" >&2
    [ -s "$work/stderr" ] && sed 's/^/  brindle stderr: /' "$work/stderr" >&2
    exit 1
}

# Prints the id of the window titled $1 once it is viewable, polling for up to $2 tenths of a second.
wait_window() {
    n=0
    while [ "$n" -lt "$2" ]; do
        "$probe" find "$1" 2>/dev/null | head -n 1 | grep . && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        n=$((n + 1))
        sleep 0.1
    done
    return 1
}

# Waits up to 20 s for the program to end, failing if a show window turns up
# when $1 is "no-show", and sets $status to the program's exit status.
wait_exit() {
    n=0
    while kill -0 "$pid" 2>/dev/null; do
        if [ "$1" = no-show ] && "$probe" find "$show_title" >/dev/null 2>&1; then
            fail "a show window was created"
        fi
        n=$((n + 1))
        [ "$n" -gt 200 ] && fail "brindle did not exit"
        sleep 0.1
    done
    wait "$pid"
    status=$?
    pid=
}

if [ "$case_name" = nodisplay ]; then
    env -u DISPLAY -u WAYLAND_DISPLAY "$brindle" --data "$data" --windowed >"$work/stdout" 2>"$work/stderr"
    status=$?
    [ "$status" -ne 0 ] || fail "exit status 0 without a display"
    lines=$(wc -l <"$work/stderr")
    [ "$lines" -eq 1 ] || fail "expected one line on stderr, got $lines"
    grep -q '^brindle: ' "$work/stderr" || fail "the error line does not start with 'brindle: '"
    echo "PASS: $case_name"
    exit 0
fi

[ -n "${DISPLAY:-}" ] || { echo "no display: run under xvfb-run" >&2; exit 1; }
"$brindle" --data "$data" --windowed --no-music >"$work/stdout" 2>"$work/stderr" &
pid=$!

dialog=$(wait_window "$dialog_title" 200) || fail "no window titled '$dialog_title' appeared"
"$probe" find "$show_title" >/dev/null 2>&1 && fail "the show window exists while the dialog is up"
# The dialog takes the keyboard focus itself, with or without a window manager.
n=0
until [ "$(xdotool getwindowfocus 2>/dev/null)" = "$dialog" ]; do
    n=$((n + 1))
    [ "$n" -gt 50 ] && fail "the dialog did not take the keyboard focus"
    sleep 0.1
done

case "$case_name" in
launch)
    xdotool key Return
    show=$(wait_window "$show_title" 600) || fail "Return in the dialog did not open the show window"
    timeout 5 xdotool windowfocus --sync "$show" 2>/dev/null
    xdotool key Escape
    wait_exit show
    [ "$status" -eq 0 ] || fail "exit status $status after Escape in the show, expected 0"
    ;;
quit)
    xdotool key Escape
    wait_exit no-show
    [ "$status" -eq 255 ] || fail "exit status $status after Escape in the dialog, expected 255"
    ;;
close)
    "$probe" close "$dialog" || fail "could not send the close request"
    wait_exit no-show
    [ "$status" -eq 255 ] || fail "exit status $status after closing the dialog, expected 255"
    ;;
*)
    fail "unknown case"
    ;;
esac
echo "PASS: $case_name"
