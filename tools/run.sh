#!/usr/bin/env bash
# Set-up, build, and start tarnwick from the build folder on the bundled sample data.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
bash tools/build.sh
BIN="${BUILD_DIR:-build}/bin"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display is available: start tarnwick on a desktop, or under Xvfb: xvfb-run -s '-screen 0 1600x1000x24' $BIN/tarnwick"
  exit 0
fi
exec "$BIN/tarnwick" "$@"
