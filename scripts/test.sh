#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
KW_BUILD_DIR=build scripts/build.sh
export QT_QPA_PLATFORM=offscreen
if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -w "${XDG_RUNTIME_DIR}" ]; then
  export XDG_RUNTIME_DIR="$(mktemp -d /tmp/kw-runtime.XXXXXX)"
  chmod 0700 "$XDG_RUNTIME_DIR"
fi
cd build
ctest --output-on-failure --timeout 300 -j2
