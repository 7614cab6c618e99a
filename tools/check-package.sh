#!/usr/bin/env bash
# Makes the ZIPs and the Windows Installer package. Unpacks the user's ZIP
# into a fresh folder, adds the simulated display component from the demo
# ZIP, and runs the program from there: its window and both dialogs must
# open, and Exit must end it with 0. Then the installer's test installs,
# upgrades, downgrades and removes the package with Wine's msiexec, with a
# newer and an older package made from the same files, and the newer one
# built again (same version, new product code).
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

msi="$build/Lumibrel-1.01-win64.msi"
[ -f "$msi" ] || { echo "the Windows Installer package was not made"; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
IFS=. read -r major minor patch <<<"$version"
newer="$major.$minor.$((patch + 1))"
mkdir "$work/msi"
cp "$msi" "$work/msi/current.msi"
for made in "newer $newer" "older 0.0.1" "rebuilt $newer"; do
  set -- $made
  cmake -D LUMIBREL_MSI_VERSION="$2" -D LUMIBREL_MSI="$work/msi/$1.msi" -P "$build/BuildMsi.cmake" >/dev/null
done
LUMIBREL_PACKAGES=$(winpath "$work/msi") LUMIBREL_CURRENT_VERSION=$version LUMIBREL_NEWER_VERSION=$newer \
  wine "$build/bin/lumibrel_e2e_tests.exe" --gtest_filter='Lumibrel.Installer*' --gtest_brief=1
