#!/usr/bin/env bash
# The long version of the import-kill test: an import of 10,000 .SYX files
# killed with SIGKILL at 20 random moments; after each kill the library must
# open as it is (nothing moved aside), pass PRAGMA integrity_check and hold
# every performance of every file it names, and a last import must bring in
# the rest. KW_KILL_TRIES and KW_KILL_FILES change the numbers; the seed of
# the moments is printed on a failure and replays with KW_KILL_SEED.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR="${KW_BUILD_DIR:-build}"
cmake -S . -B "$BUILD_DIR" -G Ninja >/dev/null
cmake --build "$BUILD_DIR" --target test_store knobwright-files
KW_KILL_TRIES="${KW_KILL_TRIES:-20}" KW_KILL_FILES="${KW_KILL_FILES:-10000}" \
  "$BUILD_DIR/tests/test_store" --gtest_filter='LibraryCli.AnImportKilledAtAnyMomentLeavesAnIntactLibraryOfWholeFiles'
