#!/usr/bin/env bash
# Builds the rule fuzzers natively with clang and runs each for a bounded
# time over its seed corpus: fuzz/run.sh [seconds per target, default 20].
# New corpus entries go to a temporary folder, never into the repository;
# inputs that fail are kept under $BUILD_DIR/fuzz/artifacts.
set -euo pipefail
. "$(dirname "$0")/../tools/env.sh"

SECONDS_PER_TARGET=${1:-20}
FUZZ_DIR=$BUILD_DIR/fuzz
# Only what this build needs, not the whole cross-build tool set.
LUMIBREL_PACKAGES="clang libclang-rt-14-dev" ensure_packages

if [ ! -f "$FUZZ_DIR/CMakeCache.txt" ]; then
  cmake -S "$ROOT_DIR/fuzz" -B "$FUZZ_DIR" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$FUZZ_DIR" -j "$(nproc)" >"$FUZZ_DIR/build.log" 2>&1 || { tail -n 30 "$FUZZ_DIR/build.log"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$FUZZ_DIR/artifacts"
status=0
for target in rules; do
  logfile="$FUZZ_DIR/fuzz_$target.log"
  mkdir -p "$work/$target"
  # The temporary folder comes first: libFuzzer writes what it finds there.
  if "$FUZZ_DIR/fuzz_$target" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="$FUZZ_DIR/artifacts/$target-" "$work/$target" "$ROOT_DIR/fuzz/corpus/$target" >"$logfile" 2>&1; then
    stats=$(grep -E '^#[0-9]+' "$logfile" | tail -n 1 | grep -oE 'cov: [0-9]+|corp: [0-9]+' | paste -sd ' ' || true)
    runs=$(grep -oE 'Done [0-9]+ runs' "$logfile" | grep -oE '[0-9]+' || echo '?')
    printf 'fuzz %-8s ok: %s runs in %ss, %s\n' "$target" "$runs" "$SECONDS_PER_TARGET" "$stats"
  else
    status=1
    printf 'fuzz %-8s FAILED (log %s):\n' "$target" "$logfile"
    grep -E 'ERROR: |runtime error|SUMMARY|Test unit written' "$logfile" | head -n 6 | sed 's/^/  /'
  fi
done
exit "$status"
