# Shared set-up for test.sh, run.sh and the benchmarks: packages, the
# cross-build, an X display and the Wine prefix. Source it; it defines
# functions and exports the Wine variables. BUILD_DIR may be set beforehand.

ROOT_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT_DIR/build}
case "$BUILD_DIR" in /*) ;; *) BUILD_DIR=$ROOT_DIR/$BUILD_DIR ;; esac
export BUILD_DIR

# The fonts give Wine real glyphs for Japanese and Chinese (WenQuanYi, IPA)
# and for Arabic (DejaVu) when the program runs in those languages.
LUMIBREL_PACKAGES="g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 libwine-dev xvfb xauth xdotool cmake googletest liblouis-data imagemagick clang libclang-rt-14-dev wixl msitools fonts-wqy-microhei fonts-ipafont-gothic fonts-dejavu-core"

log() { printf '== %s\n' "$*" >&2; }

ensure_packages() {
  local missing=() p
  for p in $LUMIBREL_PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -q >/dev/null
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

build_all() {
  if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    log "configuring $BUILD_DIR"
    cmake -S "$ROOT_DIR" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT_DIR/cmake/mingw-w64-x86_64.cmake" >/dev/null
  fi
  # Regenerate first, so that targets added since the last build are known.
  cmake "$BUILD_DIR" >/dev/null
  log "building"
  cmake --build "$BUILD_DIR" -j "$(nproc)" "$@"
}

# Starts Xvfb on a free display when none is set; stop_display undoes it.
# A Full HD screen: the smallest on which people run at 200%, where a window
# of 520 pixels at 100% still has room to grow for a longer translation.
XVFB_PID=""
ensure_display() {
  if [ -n "${DISPLAY:-}" ]; then return 0; fi
  local n=91
  while [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X${n}" ] && return 0
    sleep 0.1
  done
  log "Xvfb did not start"; return 1
}
stop_display() { [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null; XVFB_PID=""; }

export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="$BUILD_DIR/wineprefix"

# One prefix per build tree, made once. Windows are unmanaged so that hiding
# one does not wait for a window manager that is not there.
ensure_wineprefix() {
  if [ ! -f "$WINEPREFIX/.lumibrel-ready-2" ]; then
    log "preparing Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # A program that crashes ends at once instead of waiting on a crash dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.lumibrel-ready-2"
  fi
  # Exits 2 when this prefix's server already runs, which is as good.
  wineserver -p || true
  # Start the prefix's background services now, writing nowhere: started by
  # the first test program they would inherit its output pipe and keep
  # ctest's test discovery waiting for the end of that output until timeout.
  wine cmd /c exit >/dev/null 2>&1 || true
}
stop_wine() { wineserver -k >/dev/null 2>&1 || true; }

# Unix path to the Windows form that Wine gives it (Z: is the Unix root).
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }
