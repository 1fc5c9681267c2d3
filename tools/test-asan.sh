#!/usr/bin/env bash
# Every test under AddressSanitizer + UndefinedBehaviorSanitizer (LeakSanitizer
# included): builds the "asan" preset into build-asan and runs the suite. Fails
# on any failure or sanitizer report. Suppressions: tools/sanitizers/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake --preset asan >/dev/null
cmake --build --preset asan -j"${JOBS:-2}"
ctest --preset asan
