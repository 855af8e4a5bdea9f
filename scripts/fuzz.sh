#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ (or $KW_FUZZ_BUILD_DIR)
# and runs each on its seed corpus for $KW_FUZZ_SECONDS seconds (default 10).
# Fails on a crash, a leak, a sanitizer report or a broken invariant; the
# input that did it is kept in build-fuzz/artifacts/. New inputs the fuzzers
# find go to build-fuzz/corpus/, never into the repository's seeds.
# Without clang++ the targets are skipped with a message, unless
# KW_FUZZ_REQUIRED=1 (scripts/test.sh sets it: setup.sh installs clang).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${KW_FUZZ_BUILD_DIR:-build-fuzz}"
SECS="${KW_FUZZ_SECONDS:-10}"
if ! command -v clang++ >/dev/null 2>&1; then
  if [ "${KW_FUZZ_REQUIRED:-0}" = 1 ]; then
    echo "fuzz: clang++ is missing; scripts/setup.sh installs it" >&2
    exit 1
  fi
  echo "fuzz: clang++ not found, so the fuzz targets are skipped (scripts/setup.sh installs clang)"
  exit 0
fi
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DKW_FUZZ=ON >/dev/null
cmake --build "$BUILD_DIR" --target kw_fuzzers
mkdir -p "$BUILD_DIR/artifacts"
# The targets' scratch folders go here, not into /tmp: a fuzzer stopped at
# its time limit does not always get to remove its own.
rm -rf "$BUILD_DIR/tmp"
mkdir -p "$BUILD_DIR/tmp"
export TMPDIR="$(cd "$BUILD_DIR/tmp" && pwd)"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export QT_QPA_PLATFORM=offscreen
failed=()
for seeds in fuzz/corpus/*/; do
  name="$(basename "$seeds")"
  work="$BUILD_DIR/corpus/$name"
  log="$BUILD_DIR/$name.log"
  mkdir -p "$work"
  # A target's own options (fuzz/NAME.options), e.g. longer inputs than its seeds.
  opts=()
  [ -f "fuzz/$name.options" ] && read -r -a opts <"fuzz/$name.options"
  if "$BUILD_DIR/fuzz/$name" -max_total_time="$SECS" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$BUILD_DIR/artifacts/$name-" "${opts[@]}" "$work" "$seeds" >"$log" 2>&1; then
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
    inputs="$(find "$work" "$seeds" -type f | wc -l)"
    echo "fuzz: $name: ${runs:-?} runs in ${SECS} s, corpus of $inputs inputs, nothing found"
  else
    echo "fuzz: $name FAILED (log: $log)"
    grep -E 'ERROR|invariant broken|SUMMARY|Test unit written' "$log" | head -20 || true
    failed+=("$name")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}" >&2
  exit 1
fi
