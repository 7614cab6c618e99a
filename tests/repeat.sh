#!/usr/bin/env bash
# Runs the end-to-end suite N times in a row (10 unless told) against the
# built program, to show that it passes every time and not by chance.
# BUSY=1 keeps one core busy meanwhile, as a loaded machine would.
set -euo pipefail
. "$(dirname "$0")/../tools/env.sh"

runs=${1:-10}
ensure_packages
build_all
ensure_display
ensure_wineprefix
busy=""
trap '[ -n "$busy" ] && kill "$busy"; stop_wine; stop_display' EXIT
if [ "${BUSY:-0}" = 1 ]; then
  (while :; do :; done) &
  busy=$!
fi

failed=0
for i in $(seq 1 "$runs"); do
  if ctest --test-dir "$BUILD_DIR" -L e2e --timeout 180 --output-on-failure >"$BUILD_DIR/repeat-$i.log" 2>&1; then
    log "run $i of $runs: passed"
  else
    failed=$((failed + 1))
    log "run $i of $runs: failed, see $BUILD_DIR/repeat-$i.log"
  fi
done
echo "$((runs - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
