#!/bin/sh
# Drives the real program through its launch dialog on an X display.
#   launch_dialog_e2e.sh BRINDLE DATA_DIR PROBE CASE   (PROBE: the x_window_probe helper)
#     launch     Return launches the show, Escape in the show ends it: status 0
#     quit       Escape in the dialog: status 255, no show window ever appears
#     close      a close box's request to the dialog: the same
#     nodisplay  no display at all: one line on stderr, non-zero status
set -u
brindle=$1 data=$2 probe=$3 case_name=$4
work=$(mktemp -d)
pid=
trap 'rm -rf "$work"; [ -n "$pid" ] && kill "$pid" 2>/dev/null' EXIT

fail() {
    echo "FAIL: $case_name: $*" >&2
    sed 's/^/  brindle stderr: /' "$work/stderr" >&2
    exit 1
}

# The id of the viewable window titled exactly $1, if any.
window() { "$probe" find "$1" 2>/dev/null | head -n 1 | grep .; }

# Waits up to $2 tenths of a second for window $1 while the program runs.
wait_window() {
    n=0
    while [ "$n" -lt "$2" ] && kill -0 "$pid" 2>/dev/null; do
        window "$1" && return 0
        n=$((n + 1)) && sleep 0.1
    done
    return 1
}

# Waits up to 20 s for the program to end (failing if $1 is "no-show" and a
# show window turns up) and checks its exit status is $2.
expect_exit() {
    n=0
    while kill -0 "$pid" 2>/dev/null; do
        [ "$1" = no-show ] && window brindle2o16 >/dev/null && fail "a show window was created"
        n=$((n + 1)) && [ "$n" -gt 200 ] && fail "brindle did not exit"
        sleep 0.1
    done
    wait "$pid"
    status=$? pid=
    [ "$status" -eq "$2" ] || fail "exit status $status, expected $2"
}

if [ "$case_name" = nodisplay ]; then
    env -u DISPLAY -u WAYLAND_DISPLAY "$brindle" --data "$data" --windowed >/dev/null 2>"$work/stderr" && fail "exit status 0"
    [ "$(wc -l <"$work/stderr")" -eq 1 ] || fail "expected one line on stderr"
    grep -q '^brindle: ' "$work/stderr" || fail "the error line does not start with 'brindle: '"
    exit 0
fi

"$brindle" --data "$data" --windowed --no-music >/dev/null 2>"$work/stderr" &
pid=$!
dialog=$(wait_window 'brindle kiln 2.0' 200) || fail "no dialog window appeared"
window brindle2o16 >/dev/null && fail "the show window exists while the dialog is up"
# The dialog takes the keyboard focus itself, with or without a window manager.
n=0
until [ "$(xdotool getwindowfocus 2>/dev/null)" = "$dialog" ]; do
    n=$((n + 1)) && [ "$n" -gt 50 ] && fail "the dialog did not take the keyboard focus"
    sleep 0.1
done

case "$case_name" in
launch)
    xdotool key Return
    show=$(wait_window brindle2o16 600) || fail "Return in the dialog did not open the show window"
    timeout 5 xdotool windowfocus --sync "$show" 2>/dev/null
    xdotool key Escape
    expect_exit show 0 ;;
quit)
    xdotool key Escape
    expect_exit no-show 255 ;;
close)
    "$probe" close "$dialog" || fail "could not send the close request"
    expect_exit no-show 255 ;;
*) fail "unknown case" ;;
esac
