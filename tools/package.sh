#!/usr/bin/env bash
# Builds and writes the Debian package build/tarnwick_<version>_amd64.deb.
# Not part of the test command.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
command -v dpkg-shlibdeps >/dev/null || {
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends dpkg-dev >/dev/null
}
bash tools/build.sh
BUILD_DIR=${BUILD_DIR:-build}
(cd "$BUILD_DIR" && cpack -G DEB --config CPackConfig.cmake)
ls -l "$BUILD_DIR"/tarnwick_*.deb
