#!/usr/bin/env bash
# Set-up, build, and start tarnwick from the build folder on the sample plan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
bash tools/build.sh
BIN="${BUILD_DIR:-build}/bin"
PLAN="samples/演习示例.pln"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display is available: playing $PLAN without windows (tarnwick-replay) and printing its events."
  echo "For the program itself use a desktop, or: xvfb-run -s '-screen 0 1600x1000x24' $BIN/tarnwick --plan $PLAN"
  if [ -x "$BIN/tarnwick-replay" ]; then
    exec "$BIN/tarnwick-replay" --events - "$PLAN"
  fi
  echo "tarnwick-replay was not built." >&2
  exit 1
fi
exec "$BIN/tarnwick" --plan "$PLAN" "$@"
