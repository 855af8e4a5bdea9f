#!/usr/bin/env bash
# Installs what is missing, builds, and runs everything that checks the
# program, in this order:
#   1. the normal build (build/) and every test suite;
#   2. the .deb package, unpacked into a scratch root: the programs run from
#      there, the desktop entry and the AppStream metadata pass their validators;
#   3. the same suites built with AddressSanitizer and UndefinedBehaviorSanitizer
#      (build-asan/), leak checking on;
#   4. each libFuzzer target built with clang (build-fuzz/), 10 s each.
# Any failure, sanitizer report or fuzzer finding stops it with a non-zero exit.
# KW_QUICK=1 runs step 1 only, for a quick check while working.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
. scripts/offscreen-env.sh

SECONDS=0
KW_BUILD_DIR=build scripts/build.sh
(cd build && ctest --output-on-failure --timeout 300 -j2)
normal=$SECONDS
if [ "${KW_QUICK:-0}" = 1 ]; then
  echo "KW_QUICK=1: the sanitizer build and the fuzz targets were not run"
  exit 0
fi

echo "== the package"
scripts/package-check.sh build
packaged=$SECONDS

echo "== the suites under AddressSanitizer and UndefinedBehaviorSanitizer"
KW_BUILD_DIR=build-asan scripts/build.sh -DKW_SANITIZE=ON -DKW_BUILD_BENCH=OFF
# A report of undefined behaviour fails its test like a crash does. The GUI
# suites name the one leak they may have (tests/sanitizer/GuiLeaks.cpp).
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
(cd build-asan && ctest --output-on-failure --timeout 600 -j2)
sanitized=$((SECONDS - packaged))

echo "== fuzzing"
KW_FUZZ_REQUIRED=1 KW_FUZZ_SECONDS="${KW_FUZZ_SECONDS:-10}" scripts/fuzz.sh
echo "test.sh: everything passed (normal build and suites ${normal} s, package $((packaged - normal)) s," \
     "sanitizers $sanitized s, fuzzing $((SECONDS - packaged - sanitized)) s)"
