#!/usr/bin/env bash
# Makes the ZIPs, unpacks the user's one into a fresh folder, adds the
# simulated display component from the demo ZIP, and runs the program from
# there: its window and both dialogs must open, and Exit must end it with 0.
# Needs the Wine environment of test.sh. Usage: check-package.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/env.sh"

(cd "$build" && cpack >/dev/null)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$build/Lumibrel-1.01-win64.zip" -d "$work/user"
unzip -q "$build/Lumibrel-1.01-win64-demo-component.zip" -d "$work/demo"
app="$work/user/Lumibrel-1.01-win64"
for f in Lumibrel.exe README.txt LICENSE.txt enu/Cellvane.ini; do
  [ -f "$app/$f" ] || { echo "package lacks $f"; exit 1; }
done
[ ! -e "$app/Cellvane.dll" ] || { echo "the user package must not carry the simulated component"; exit 1; }
[ -f "$work/demo/Lumibrel-1.01-win64/README-demo-component.txt" ] || { echo "the demo package lacks its README"; exit 1; }
cp "$work/demo/Lumibrel-1.01-win64/Cellvane.dll" "$app/"
mkdir -p "$work/localappdata" "$work/pictures"
CELLVANE_SIM_JOURNAL=$(winpath "$work/journal.txt") timeout 90 wine "$build/bin/lumibrel_demo_driver.exe" \
  "$(winpath "$app/Lumibrel.exe")" "$(winpath "$work/localappdata")" "$(winpath "$work/pictures")"
grep -q '^Stop()' "$work/journal.txt" || { echo "the component was not stopped"; exit 1; }
echo "package: unpacked, ran, both dialogs opened, exit code 0"
