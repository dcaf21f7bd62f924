#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under a virtual X
# server, with a second one that can switch display modes for the full-screen
# cases (scripts/with-mode-server.sh).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing_packages
generate_test_locale
build_brindle
cd "$brindle_build"
# -noreset: the program connects more than once, and a resetting server refuses connections.
"$brindle_root/scripts/with-mode-server.sh" xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" ctest --output-on-failure
