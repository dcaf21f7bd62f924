#!/usr/bin/env bash
# Installs what is missing, builds, and runs the show; arguments go to brindle
# (see ./scripts/run.sh --help).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing_packages
build_brindle >&2
exec "$brindle_build/brindle" "$@"
