#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under a virtual X server.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing_packages
generate_test_locale
build_brindle
cd "$brindle_build"
# -noreset: the program connects more than once, and a resetting server refuses connections.
xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" ctest --output-on-failure
