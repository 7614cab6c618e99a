#!/usr/bin/env bash
# Builds the benchmarks and what they run, prepares Wine as test.sh does and
# prints their figures. Argument: runs per figure (default 5; the medians need
# at least five). BUILD_DIR chooses the build tree and with it the prefix.
set -euo pipefail
. "$(dirname "$0")/../tools/env.sh"
runs=${1:-5}

ensure_packages
build_all --target Lumibrel Cellvane lumibrel_bare_window lumibrel_bare_com_window lumibrel_bench lumibrel_table_bench
ensure_display
ensure_wineprefix
trap 'stop_wine; stop_display' EXIT

status=0
log "Lumibrel against a bare program"
wine "$BUILD_DIR/bin/lumibrel_bench.exe" "$runs" || status=$?
# Wine takes the language from the locale the session starts in: a German
# session chooses the tables by language at a first start.
log "start-up choosing the tables by language, in German"
stop_wine
LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 wine "$BUILD_DIR/bin/lumibrel_bench.exe" "$runs" choose || status=$?
stop_wine
ensure_wineprefix
log "table discovery"
wine "$BUILD_DIR/bin/lumibrel_table_bench.exe" "$runs" || status=$?
exit "$status"
