#!/bin/sh
# Drives the real program through its launch dialog on an X display.
#
#   launch_dialog_e2e.sh BRINDLE DATA_DIR launch   Return launches the show, Escape ends it: status 0
#   launch_dialog_e2e.sh BRINDLE DATA_DIR quit     Escape in the dialog: status 255, no show window
#   launch_dialog_e2e.sh BRINDLE DATA_DIR nodisplay   no display: one line on stderr, non-zero status
set -u
brindle=$1
data=$2
case_name=$3
dialog_title='^brindle kiln 2\.0$'
show_title='^brindle2o16$'
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    [ -s "$work/stderr" ] && sed 's/^/  brindle stderr: /' "$work/stderr" >&2
    [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null
    exit 1
}

# Prints the id of the first visible window whose title matches, waiting up to $2 seconds.
wait_window() {
    timeout "$2" xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1
}

# Waits up to 20 s for the program to end and prints its exit status.
wait_exit() {
    i=0
    while kill -0 "$pid" 2>/dev/null; do
        i=$((i + 1))
        [ "$i" -gt 200 ] && fail "brindle did not exit"
        sleep 0.1
    done
    wait "$pid"
    echo $?
}

if [ "$case_name" = nodisplay ]; then
    env -u DISPLAY -u WAYLAND_DISPLAY "$brindle" --data "$data" --windowed >"$work/stdout" 2>"$work/stderr"
    status=$?
    [ "$status" -ne 0 ] || fail "exit status 0 without a display"
    lines=$(wc -l <"$work/stderr")
    [ "$lines" -eq 1 ] || fail "expected one line on stderr, got $lines"
    grep -q '^brindle: ' "$work/stderr" || fail "the error line does not start with 'brindle: '"
    exit 0
fi

[ -n "${DISPLAY:-}" ] || { echo "no display: run under xvfb-run" >&2; exit 1; }
"$brindle" --data "$data" --windowed --no-music >"$work/stdout" 2>"$work/stderr" &
pid=$!

dialog=$(wait_window "$dialog_title" 20)
[ -n "$dialog" ] || fail "no window titled 'brindle kiln 2.0' appeared"
xdotool search --name "$show_title" >/dev/null 2>&1 && fail "the show window exists while the dialog is up"

case "$case_name" in
launch)
    xdotool key --window "$dialog" --clearmodifiers Return 2>/dev/null || xdotool key Return
    show=$(wait_window "$show_title" 60)
    [ -n "$show" ] || fail "Return in the dialog did not open the show window"
    xdotool windowfocus --sync "$show" 2>/dev/null
    xdotool key Escape
    status=$(wait_exit)
    [ "$status" -eq 0 ] || fail "exit status $status after Escape in the show, expected 0"
    ;;
quit)
    xdotool key Escape
    i=0
    while kill -0 "$pid" 2>/dev/null; do
        xdotool search --name "$show_title" >/dev/null 2>&1 && fail "a show window was created after Escape"
        i=$((i + 1))
        [ "$i" -gt 200 ] && fail "brindle did not exit after Escape in the dialog"
        sleep 0.1
    done
    wait "$pid"
    status=$?
    [ "$status" -eq 255 ] || fail "exit status $status after Escape in the dialog, expected 255"
    ;;
*)
    fail "unknown case $case_name"
    ;;
esac
echo "PASS: $case_name"
