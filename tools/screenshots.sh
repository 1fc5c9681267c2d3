#!/usr/bin/env bash
# Takes the user manual's screenshots from the real program on a virtual
# display and stores them, reduced, in docs/. Run inside xvfb-run:
#   xvfb-run -a -s "-screen 0 1600x1000x24" bash tools/screenshots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BIN="$(realpath "${1:-build}")/bin"
OUT=docs
PLAN="$PWD/samples/演习示例.pln"
mkdir -p "$OUT"
export HOME="$(mktemp -d)"   # fresh settings: default dock layout

shot() {  # shot NAME [crop geometry]
  import -window root /tmp/tw-shot.png
  if [ -n "${2:-}" ]; then convert /tmp/tw-shot.png -crop "$2" +repage /tmp/tw-shot.png; fi
  convert /tmp/tw-shot.png -resize '900x900>' -colors 96 "PNG8:$OUT/$1.png"
}
key() { xdotool search --name "$1" windowfocus --sync key "$2" || true; sleep 1; }

"$BIN/tarnwick" --report-to-stderr &
pid=$!
sleep 3
shot start
key "^Tarnwick" ctrl+n
shot newplan "700x560+450+220"
key "新建预案" Escape
key "^Tarnwick" F1
kill $pid; wait $pid 2>/dev/null || true

"$BIN/tarnwick" --report-to-stderr --plan "$PLAN" --autoplay &
pid=$!
sleep 9
shot main
key "^Tarnwick" Return   # acknowledge the hit alarm
sleep 1
xdotool search --name "^Tarnwick" windowfocus --sync || true
shot playing
kill $pid; wait $pid 2>/dev/null || true
rm -f /tmp/tw-shot.png
ls -la "$OUT"
