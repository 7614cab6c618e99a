#!/usr/bin/env bash
# Builds Lumibrel and its simulated display component, then runs every test
# under Wine. Extra arguments go to ctest (for example: -R Focus).
set -euo pipefail
. "$(dirname "$0")/tools/env.sh"

ensure_packages
build_all
ensure_display
ensure_wineprefix
trap 'stop_wine; stop_display' EXIT

status=0
# The rules are fuzzed natively for a bounded time first (0 seconds skips
# it), so that ctest's summary is the last thing printed.
fuzz_seconds=${LUMIBREL_FUZZ_SECONDS:-20}
if [ "$fuzz_seconds" != 0 ]; then
  log "fuzzing the rules, ${fuzz_seconds}s per target"
  "$ROOT_DIR/fuzz/run.sh" "$fuzz_seconds" || status=$?
fi

log "running tests"
ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 180 "$@" || status=$?
exit "$status"
