#!/usr/bin/env bash
# Runs a command beside a Wayland compositor: weston with its x11 back end,
# nested in an Xvfb of its own (weston's headless back end offers no seat,
# which SDL's Wayland driver needs), with Xwayland for X11 clients. Everything
# lives on private sockets in a private runtime folder and stops when the
# command ends; the command's exit status is the script's. The command's own
# DISPLAY and WAYLAND_DISPLAY are left as they are; it finds the compositor in
#
#   BRINDLE_WAYLAND_DISPLAY       the compositor's socket, as an absolute path
#   BRINDLE_XWAYLAND_DISPLAY      its Xwayland, e.g. :1
#   BRINDLE_WAYLAND_HOST_DISPLAY  the Xvfb that hosts it: xdotool there types
#                                 into the focused Wayland client
#   BRINDLE_WAYLAND_PID           weston's process id
#   BRINDLE_WAYLAND_LOG           weston's log, for a test's failure message
#
#   scripts/with-wayland-server.sh [--scale N] xvfb-run -a ctest --output-on-failure
#
# --scale 2 gives the output twice the pixels per point, as on a high-density
# screen; the output is 1024x768 points either way.
set -euo pipefail

scale=1
if [ "${1:-}" = --scale ]; then
    scale="$2"
    shift 2
fi

work="$(mktemp -d)"
xvfb= weston=
stop_servers() {
    local pid
    for pid in $weston $xvfb; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap stop_servers EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

fail() {
    echo "with-wayland-server: $1" >&2
    tail -n 20 "$work"/*.log >&2 || true
    exit 1
}

# -displayfd: Xvfb takes the first free display number and writes it once it
# accepts connections; -noreset keeps it up between weston's connections.
Xvfb -screen 0 $((1024 * scale))x$((768 * scale))x24 -nolisten tcp -noreset -displayfd 3 \
    3>"$work/display" </dev/null >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start"
host=":$(head -n 1 "$work/display")"

# --idle-time=0: otherwise weston locks the screen after five minutes and keys
# go to the lock screen. --debug lets weston-screenshooter take the output.
# The pixman renderer draws clients' frames about twice as fast as GL does on
# a software GL driver.
runtime="$work/runtime"
mkdir -m 700 "$runtime"
# A plain desktop without the panel, whose clock would change the picture.
printf '[core]\nidle-time=0\n[shell]\npanel-position=none\nbackground-color=0xff204060\n[output]\nname=X1\nscale=%s\n' \
    "$scale" >"$work/weston.ini"
env -u WAYLAND_DISPLAY -u WAYLAND_SOCKET DISPLAY="$host" XDG_RUNTIME_DIR="$runtime" \
    weston --backend=x11-backend.so --use-pixman --width=1024 --height=768 --socket=wayland-test \
    --idle-time=0 --xwayland --debug --config="$work/weston.ini" --log="$work/weston.log" \
    </dev/null >/dev/null 2>&1 &
weston=$!
# Xwayland starts once weston names its display in the log.
xwayland=
for _ in $(seq 150); do
    xwayland="$(grep -o 'xserver listening on display :[0-9]*' "$work/weston.log" 2>/dev/null | grep -o ':[0-9]*$' || true)"
    [ -n "$xwayland" ] && [ -S "$runtime/wayland-test" ] && break
    kill -0 "$weston" 2>/dev/null || break
    sleep 0.1
done
[ -n "$xwayland" ] && [ -S "$runtime/wayland-test" ] || fail "weston did not start"

export BRINDLE_WAYLAND_DISPLAY="$runtime/wayland-test"
export BRINDLE_XWAYLAND_DISPLAY="$xwayland"
export BRINDLE_WAYLAND_HOST_DISPLAY="$host"
export BRINDLE_WAYLAND_PID="$weston"
export BRINDLE_WAYLAND_LOG="$work/weston.log"

status=0
"$@" || status=$?
exit "$status"
