#!/usr/bin/env bash
# Builds Lumibrel and its simulated display component, then runs every test
# under Wine. Extra arguments go to ctest (for example: -R Startup).
set -euo pipefail
. "$(dirname "$0")/tools/env.sh"

ensure_packages
build_all
ensure_display
ensure_wineprefix
trap 'stop_wine; stop_display' EXIT

log "running tests"
ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 180 "$@"
