#!/usr/bin/env bash
# Runs a command beside two private sound servers, each with a null sink
# named testnull (scripts/sound-servers.sh): a PulseAudio, whose address the
# command finds in PULSE_SERVER, and a PipeWire with its session manager and
# PulseAudio service, whose address is in BRINDLE_PIPEWIRE_SERVER. Both stop
# when the command ends; its exit status is the script's.
#
#   scripts/with-sound-server.sh xvfb-run -a ctest --output-on-failure
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/sound-servers.sh"
work="$(mktemp -d)"
trap 'stop_sound_server; rm -rf "$work"' EXIT

start_pipewire "$work"
pipewire_server="$PULSE_SERVER"
start_pulseaudio "$work"
export BRINDLE_PIPEWIRE_SERVER="$pipewire_server"
# SDL's own PipeWire driver must not find the private server behind another test's back.
unset PIPEWIRE_RUNTIME_DIR
status=0
"$@" || status=$?
exit "$status"
