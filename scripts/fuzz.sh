#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) in build-fuzz/ and runs
# them, one after the other, each for SECONDS on its corpus.
#
#   scripts/fuzz.sh [--list] [TARGET|all] [SECONDS] [-- libFuzzer options...]
#
# The committed seeds (fuzz/corpus/<target>/) are read only; what the fuzzer
# finds goes to build-fuzz/corpus/<target>/, crash inputs to
# build-fuzz/crashes/. Executions and coverage of every run are appended to
# build-fuzz/fuzz-log.txt. A crash makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
targets=$(sed -n 's/^  \(fuzz_[a-z0-9_]*\) .*/\1/p' fuzz/targets.cmake)
if [ "${1:-}" = "--list" ]; then echo "$targets"; exit 0; fi
which=${1:-all}
seconds=${2:-60}
shift $(( $# > 2 ? 2 : $# ))
[ "${1:-}" = "--" ] && shift
[ "$which" = all ] || targets=$which

cc=${FUZZ_CC:-clang-14}
cxx=${FUZZ_CXX:-clang++-14}
scripts/configure.sh build-fuzz -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
  -DFILTERS_FUZZ=ON -DFILTERS_TESTS=OFF -DFILTERS_BENCH=OFF
for t in $targets; do
  cmake --build build-fuzz -j"${JOBS:-2}" --target "$t" >/dev/null
done

mkdir -p build-fuzz/crashes
status=0
for t in $targets; do
  work=build-fuzz/corpus/$t
  mkdir -p "$work"
  log=build-fuzz/$t.log
  echo "== $t: ${seconds}s"
  if ! nice -n 19 build-fuzz/bin/"$t" -max_total_time="$seconds" -timeout=20 \
        -rss_limit_mb=2048 -max_len=131072 -print_final_stats=1 \
        -artifact_prefix=build-fuzz/crashes/"$t"- "$@" "$work" fuzz/corpus/"$t" >"$log" 2>&1; then
    echo "$t: CRASH (see $log, inputs in build-fuzz/crashes/)"
    tail -40 "$log"
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  echo "$(date -u +%FT%TZ) $t runs=${runs:-0} cov=${cov:-?} ft=${ft:-?} seconds=$seconds" |
    tee -a build-fuzz/fuzz-log.txt
done
exit $status
