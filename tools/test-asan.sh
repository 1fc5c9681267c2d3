#!/usr/bin/env bash
# Every test under AddressSanitizer + UndefinedBehaviorSanitizer (LeakSanitizer
# included): builds the "asan" preset into build-asan and runs the suite. Fails
# on any failure or sanitizer report. Suppressions: tools/sanitizers/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake --preset asan "${launcher[@]}" >/dev/null
cmake --build --preset asan -j"${JOBS:-2}"
ctest --preset asan
