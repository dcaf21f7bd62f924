#!/usr/bin/env bash
# Runs a command beside a second X server that can switch display modes (Xvfb
# has one mode only): Xorg with the dummy video driver, set up by
# scripts/mode-server.conf, on a free display number. The command finds that
# display in BRINDLE_MODE_DISPLAY; its own DISPLAY is left as it is. The
# server stops when the command ends, and the command's exit status is the
# script's.
#
#   scripts/with-mode-server.sh xvfb-run -a ctest --output-on-failure
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# The server itself, not /usr/bin/Xorg: that wrapper may hand over to one that
# admits console users only.
xorg=/usr/lib/xorg/Xorg
work="$(mktemp -d)"
server=
stop_server() {
    if [ -n "$server" ]; then
        kill "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap stop_server EXIT

# -displayfd: the server takes the first free display number and writes it
# once it accepts connections. The empty -configdir keeps the machine's own
# Xorg snippets (real cards, input devices) out of the test server.
mkdir "$work/xorg.conf.d"
"$xorg" -config "$here/mode-server.conf" -configdir "$work/xorg.conf.d" -logfile "$work/xorg.log" \
    -nolisten tcp -noreset -displayfd 3 3>"$work/display" </dev/null >"$work/xorg.out" 2>&1 &
server=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
done
if ! [ -s "$work/display" ]; then
    echo "with-mode-server: Xorg with the dummy driver did not start:" >&2
    tail -n 20 "$work/xorg.out" "$work/xorg.log" >&2 || true
    exit 1
fi
export BRINDLE_MODE_DISPLAY=":$(head -n 1 "$work/display")"

status=0
"$@" || status=$?
exit "$status"
