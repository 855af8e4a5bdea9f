#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; does nothing when
# they are all there. Safe to run as often as you like.
set -euo pipefail
# One line on purpose: installing jackd2 after librtmidi-dev alone removes librtmidi-dev.
# clang and libclang-rt-14-dev (libFuzzer and clang's sanitizer runtimes) build the fuzz targets;
# libsqlite3-dev is the performance library's database (src/store).
# qt6-svg-dev renders the icon's PNG sizes at build time; dpkg-dev and file let CPack find the
# package's library dependencies; desktop-file-utils and appstream validate what it installs.
PACKAGES=(qt6-base-dev qt6-svg-dev librtmidi-dev libjack-jackd2-dev libasound2-dev jackd2 xvfb xauth pkg-config
          cmake ninja-build g++ libgtest-dev libbenchmark-dev fonts-dejavu-core clang libclang-rt-14-dev
          libsqlite3-dev dpkg-dev file desktop-file-utils appstream)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  # jackd2 asks about realtime priority; the answer does not matter here.
  echo "jackd2 jackd/tweak_rt_limits boolean false" | $SUDO debconf-set-selections
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${PACKAGES[@]}"
fi
