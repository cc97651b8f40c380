#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) in build-fuzz/ and runs
# them, one after the other.
#
#   scripts/fuzz.sh [--list] [TARGET|all] [SECONDS] [-- libFuzzer options...]
#   scripts/fuzz.sh --fixed [TARGET|all]
#
# By default each target fuzzes for SECONDS (60) from a random seed; what it
# finds goes to build-fuzz/corpus/<target>/ and grows from run to run.
# --fixed is the CI run: each target starts from its committed corpus alone,
# with seed 1, and stops after the number of inputs fuzz/fixed_runs.txt gives
# it, without address-space randomisation and without re-reading its output
# directory, so that the same tree always passes or fails.
#
# The committed seeds (fuzz/corpus/<target>/) are read only; crash inputs go
# to build-fuzz/crashes/. Executions and coverage of every run are appended
# to build-fuzz/fuzz-log.txt. A crash makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
targets=$(sed -n 's/^  \(fuzz_[a-z0-9_]*\) .*/\1/p' fuzz/targets.cmake)
if [ "${1:-}" = "--list" ]; then echo "$targets"; exit 0; fi
fixed=0
if [ "${1:-}" = "--fixed" ]; then fixed=1; shift; fi
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

# Without address-space randomisation the heap and stack addresses that the
# sanitizers' allocator and the comparison tracing see are the same each run.
norandom=()
setarch "$(uname -m)" -R true 2>/dev/null && norandom=(setarch "$(uname -m)" -R)

mkdir -p build-fuzz/crashes
status=0
for t in $targets; do
  if [ $fixed = 1 ]; then
    runs=$(awk -v t="$t" '$1 == t { print $2 }' fuzz/fixed_runs.txt)
    work=build-fuzz/fixed-corpus/$t
    rm -rf "$work"
    limit=(-seed=1 -runs="${runs:?no run count for $t in fuzz/fixed_runs.txt}" -reload=0)
    run=("${norandom[@]}")
    echo "== $t: seed 1, $runs inputs"
  else
    work=build-fuzz/corpus/$t
    limit=(-max_total_time="$seconds")
    run=()
    echo "== $t: ${seconds}s"
  fi
  mkdir -p "$work"
  log=build-fuzz/$t.log
  started=$(date +%s)
  if ! nice -n 19 "${run[@]}" build-fuzz/bin/"$t" "${limit[@]}" -timeout=60 \
        -rss_limit_mb=2048 -max_len=131072 -print_final_stats=1 \
        -artifact_prefix=build-fuzz/crashes/"$t"- "$@" "$work" fuzz/corpus/"$t" >"$log" 2>&1; then
    echo "$t: CRASH (see $log, inputs in build-fuzz/crashes/)"
    tail -40 "$log"
    status=1
  fi
  # A crash in the committed corpus leaves no statistics; the loop goes on.
  done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2 || true)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2 || true)
  echo "$(date -u +%FT%TZ) $t runs=${done_runs:-0} cov=${cov:-?} ft=${ft:-?} seconds=$(($(date +%s) - started))$([ $fixed = 1 ] && echo ' fixed')" |
    tee -a build-fuzz/fuzz-log.txt
done
exit $status
