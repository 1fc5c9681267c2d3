#!/usr/bin/env bash
# Fuzzes one reader, or all of them one after the other, for a given time.
#
#   tools/fuzz.sh NAME SECONDS     NAME: plan sysconfig catalog geoset bitmap_map unit_image, or all
#
# Configures a clang build with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz (BUILD_DIR overrides), fuzzes with
# the seed corpus of fuzz/corpus/NAME (new inputs go to build-fuzz/fuzz/work/NAME;
# crashes, leaks and time-outs to build-fuzz/fuzz/findings/NAME) and prints
# executions and coverage at the end. Copy each finding, once mended, into
# fuzz/regressions/NAME: the normal test run replays that folder.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
all=(plan sysconfig catalog geoset bitmap_map unit_image)
name=${1:-}
seconds=${2:-}
if [ -z "$name" ] || [ -z "$seconds" ]; then
  echo "usage: $0 {${all[*]// /|}|all} SECONDS" >&2
  exit 2
fi
if [ "$name" = all ]; then
  names=("${all[@]}")
else
  names=("$name")
fi
build=${BUILD_DIR:-$src/build-fuzz}

# Longest input worth trying, per format.
max_len() {
  case $1 in
    plan) echo 65536 ;;
    sysconfig|catalog) echo 16384 ;;
    geoset) echo 8192 ;;
    bitmap_map|unit_image) echo 4096 ;;
  esac
}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTARNWICK_FUZZ=ON \
    -DTARNWICK_BUILD_TESTS=OFF -DTARNWICK_BUILD_BENCH=OFF
fi
targets=()
for n in "${names[@]}"; do targets+=("fuzz_$n"); done
cmake --build "$build" -j"${JOBS:-2}" --target "${targets[@]}"

export QT_QPA_PLATFORM=offscreen
# Qt and GDAL are not instrumented; their one-time caches are not leaks of ours.
# A small quarantine: freed image buffers otherwise pile up past the RSS limit.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$src/fuzz/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1:quarantine_size_mb=64}

status=0
for n in "${names[@]}"; do
  work=$build/fuzz/work/$n
  findings=$build/fuzz/findings/$n
  mkdir -p "$work" "$findings"
  dict=()
  [ -f "$src/fuzz/dict/$n.dict" ] && dict=(-dict="$src/fuzz/dict/$n.dict")
  log=$build/fuzz/$n.log
  echo "== fuzzing $n for $seconds s (log: $log)"
  set +e
  # Each harness runs in a folder of its own: libFuzzer writes fuzz-0.log
  # into the current folder, and harnesses may run side by side.
  rundir=$build/fuzz/run/$n
  mkdir -p "$rundir"
  (cd "$rundir" && rm -f fuzz-0.log && "$build/fuzz/bin/fuzz_$n" "$work" "$src/fuzz/corpus/$n" "$src/fuzz/regressions/$n" \
    -max_total_time="$seconds" -max_len="$(max_len "$n")" -rss_limit_mb=2048 -timeout=10 \
    -jobs=1 -workers=1 -print_final_stats=1 -artifact_prefix="$findings/" "${dict[@]}" >"$log" 2>&1)
  rc=$?
  set -e
  # With -jobs the run's own output also stays in $rundir/fuzz-0.log.
  grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$log" | tail -n 1 || true
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
  if [ $rc -ne 0 ]; then
    echo "   FINDING (exit $rc): $(ls -t "$findings" | head -n 1)"
    grep -E 'ERROR: |SUMMARY: |invariant broken' "$log" | head -n 5
    status=1
  fi
done
exit $status
