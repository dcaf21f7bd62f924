#!/bin/sh
# Drives the real program through its launch dialog on an X display.
#   launch_dialog_e2e.sh BRINDLE DATA_DIR PROBE CASE   (PROBE: the x_window_probe helper)
#     launch     Return launches the show, Escape in the show ends it: status 0
#     quit       Escape in the dialog: status 255, no show window ever appears
#     close      a close box's request to the dialog: the same
#     nodisplay  no display at all: one line on stderr, non-zero status
#     modes      on the mode-switching server of scripts/with-mode-server.sh
#                (BRINDLE_MODE_DISPLAY; exit 77, a skip, without it): a size the
#                server lacks is refused, 1280x720 full screen switches the
#                display to it, and Escape gives the desktop its 1920x1080 back
set -u
brindle=$1 data=$2 probe=$3 case_name=$4
if [ "$case_name" = modes ]; then
    [ -n "${BRINDLE_MODE_DISPLAY:-}" ] || exit 77
    DISPLAY=$BRINDLE_MODE_DISPLAY
    export DISPLAY
fi
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

# The screen's current size, as "WxH".
screen_mode() { xrandr 2>/dev/null | sed -n 's/.* current \([0-9]*\) x \([0-9]*\),.*/\1x\2/p'; }

# Waits up to 5 s for the screen to run mode $1.
wait_mode() {
    n=0
    until [ "$(screen_mode)" = "$1" ]; do
        n=$((n + 1)) && [ "$n" -gt 50 ] && return 1
        sleep 0.1
    done
}

# Types $1 over the text of the focused field and presses Return.
enter_text() {
    xdotool key ctrl+a && xdotool type "$1" && xdotool key Return
}

if [ "$case_name" = nodisplay ]; then
    env -u DISPLAY -u WAYLAND_DISPLAY "$brindle" --data "$data" --windowed >/dev/null 2>"$work/stderr" && fail "exit status 0"
    [ "$(wc -l <"$work/stderr")" -eq 1 ] || fail "expected one line on stderr"
    grep -q '^brindle: ' "$work/stderr" || fail "the error line does not start with 'brindle: '"
    exit 0
fi

if [ "$case_name" = modes ]; then
    [ "$(screen_mode)" = 1920x1080 ] || fail "the mode server's desktop runs $(screen_mode), not 1920x1080"
    "$brindle" --data "$data" --no-music >/dev/null 2>"$work/stderr" &
else
    "$brindle" --data "$data" --windowed --no-music >/dev/null 2>"$work/stderr" &
fi
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
modes)
    # A click into the resolution field's text (its place in dialog units,
    # scaled to the window); Fullscreen is ticked already.
    eval "$(xdotool getwindowgeometry --shell "$dialog")"
    xdotool mousemove --window "$dialog" $((WIDTH * 40 / 417)) $((HEIGHT * 26 / 87)) click 1
    enter_text 1024x768
    sleep 1
    kill -0 "$pid" 2>/dev/null || fail "the dialog closed on a size the server does not offer"
    window brindle2o16 >/dev/null && fail "a size the server does not offer opened the show"
    enter_text 1280x720
    show=$(wait_window brindle2o16 600) || fail "1280x720 did not open the show window"
    wait_mode 1280x720 || fail "the display runs $(screen_mode) during the show, not 1280x720"
    timeout 5 xdotool windowfocus --sync "$show" 2>/dev/null
    xdotool key Escape
    expect_exit show 0
    [ "$(screen_mode)" = 1920x1080 ] || fail "the display runs $(screen_mode) after the show, not 1920x1080" ;;
*) fail "unknown case" ;;
esac
