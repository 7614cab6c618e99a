#!/usr/bin/env bash
# Builds Lumibrel with its simulated display component and runs it.
# With a DISPLAY: the real window, interactive. Without one: under Xvfb,
# screenshots of the main window and both dialogs go to build/screenshots,
# at 100%, at 200% (named *-200.png), and at 100% in German (*-de.png) and
# Arabic (*-ar.png), then the simulated display's
# journal is printed and the program ended. Either way the demo driver starts
# the program, so that its settings go to build/demo/localappdata: Wine
# would give a program started from here the prefix's own profile instead.
set -euo pipefail
. "$(dirname "$0")/tools/env.sh"

ensure_packages
build_all --target Lumibrel Cellvane lumibrel_demo_driver

DEMO_DIR="$BUILD_DIR/demo"
# The settings live on from one run to the next, as a user's do.
rm -rf "$DEMO_DIR/program" "$DEMO_DIR/journal.txt"
mkdir -p "$DEMO_DIR/program" "$DEMO_DIR/localappdata"
cp "$BUILD_DIR/bin/Lumibrel.exe" "$BUILD_DIR/bin/Cellvane.dll" "$DEMO_DIR/program/"
cp -r "$ROOT_DIR/demo/tables" "$ROOT_DIR/demo/enu" "$DEMO_DIR/program/"
LOCAL_APP_DATA="$(winpath "$DEMO_DIR/localappdata")"
DEMO_DRIVER="$BUILD_DIR/bin/lumibrel_demo_driver.exe"
PROGRAM="$(winpath "$DEMO_DIR/program/Lumibrel.exe")"
export CELLVANE_SIM_JOURNAL="$(winpath "$DEMO_DIR/journal.txt")"

if [ -n "${DISPLAY:-}" ]; then
  ensure_wineprefix
  trap 'stop_wine' EXIT
  log "starting Lumibrel (Alt+Ctrl+T brings it back; Exit ends it)"
  set +e
  wine "$DEMO_DRIVER" "$PROGRAM" "$LOCAL_APP_DATA"
  code=$?
  set -e
  log "exit code $code; display journal:"
  cat "$DEMO_DIR/journal.txt" 2>/dev/null || true
  exit "$code"
fi

ensure_display
ensure_wineprefix
SCALE_KEY='HKCU\Control Panel\Desktop'
# The scale is read by each program as it starts; no value is 100%.
unscale() { wine reg delete "$SCALE_KEY" /v LogPixels /f >/dev/null 2>&1 || true; }
trap 'unscale; stop_wine; stop_display' EXIT
SHOTS="$BUILD_DIR/screenshots"
rm -rf "$SHOTS"; mkdir -p "$SHOTS"
# One run of the demo into $SHOTS, its pictures named *-suffix.png. The
# language is Wine's, from the Unix locale the program starts in.
shoot() {
  local suffix=$1 locale=$2 status
  mkdir -p "$SHOTS/$suffix"
  LANG=$locale LC_ALL=$locale wine "$DEMO_DRIVER" "$PROGRAM" "$LOCAL_APP_DATA" "$(winpath "$SHOTS/$suffix")"
  status=$?
  for bmp in "$SHOTS/$suffix"/*.bmp; do
    [ -e "$bmp" ] || continue
    mv "$bmp" "$SHOTS/$(basename "$bmp" .bmp)-$suffix.bmp"
  done
  rmdir "$SHOTS/$suffix" 2>/dev/null || true
  return "$status"
}
# The code reported is that of the first run that failed, else 0.
code=0
keep_first() { [ "$code" -ne 0 ] || code=$1; }
log "starting Lumibrel under Xvfb ($DISPLAY): at 100%, at 200%, then in German and Arabic"
set +e
unscale
wine "$DEMO_DRIVER" "$PROGRAM" "$LOCAL_APP_DATA" "$(winpath "$SHOTS")"; keep_first $?
wine reg add "$SCALE_KEY" /v LogPixels /t REG_DWORD /d 192 /f >/dev/null 2>&1
shoot 200 "${LANG:-C.UTF-8}"; keep_first $?
unscale
shoot de de_DE.UTF-8; keep_first $?
shoot ar ar_SA.UTF-8; keep_first $?
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
