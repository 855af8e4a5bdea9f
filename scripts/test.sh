#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
KW_BUILD_DIR=build scripts/build.sh
. scripts/offscreen-env.sh
cd build
ctest --output-on-failure --timeout 300 -j2
