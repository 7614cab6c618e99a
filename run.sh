#!/usr/bin/env bash
# Builds Lumibrel with its simulated display component and runs it.
# With a DISPLAY: the real window, interactive. Without one: under Xvfb,
# screenshots of the main window and both dialogs go to build/screenshots,
# then the simulated display's journal is printed and the program ended.
set -euo pipefail
. "$(dirname "$0")/tools/env.sh"

ensure_packages
build_all --target Lumibrel Cellvane lumibrel_demo_driver

DEMO_DIR="$BUILD_DIR/demo"
rm -rf "$DEMO_DIR"
mkdir -p "$DEMO_DIR/program" "$DEMO_DIR/localappdata"
cp "$BUILD_DIR/bin/Lumibrel.exe" "$BUILD_DIR/bin/Cellvane.dll" "$DEMO_DIR/program/"
cp -r "$ROOT_DIR/demo/tables" "$ROOT_DIR/demo/enu" "$DEMO_DIR/program/"
export LOCALAPPDATA="$(winpath "$DEMO_DIR/localappdata")"
export CELLVANE_SIM_JOURNAL="$(winpath "$DEMO_DIR/journal.txt")"

if [ -n "${DISPLAY:-}" ]; then
  ensure_wineprefix
  trap 'stop_wine' EXIT
  log "starting Lumibrel (Alt+Ctrl+T brings it back; Exit ends it)"
  set +e
  wine "$DEMO_DIR/program/Lumibrel.exe"
  code=$?
  set -e
  log "exit code $code; display journal:"
  cat "$DEMO_DIR/journal.txt" 2>/dev/null || true
  exit "$code"
fi

ensure_display
ensure_wineprefix
trap 'stop_wine; stop_display' EXIT
SHOTS="$BUILD_DIR/screenshots"
rm -rf "$SHOTS"; mkdir -p "$SHOTS"
log "starting Lumibrel under Xvfb ($DISPLAY)"
set +e
wine "$BUILD_DIR/bin/lumibrel_demo_driver.exe" "$(winpath "$DEMO_DIR/program/Lumibrel.exe")" "$(winpath "$SHOTS")"
code=$?
set -e
for bmp in "$SHOTS"/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
log "screenshots:"
ls -1 "$SHOTS"/*.png 2>/dev/null || true
log "simulated display journal:"
cat "$DEMO_DIR/journal.txt" 2>/dev/null || true
log "Lumibrel exit code: $code"
exit "$code"
