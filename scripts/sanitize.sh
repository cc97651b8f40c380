#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer in build-sanitize/ and runs it. Any report fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/configure.sh build-sanitize -DFILTERS_SANITIZE=ON -DFILTERS_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug
cmake --build build-sanitize -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-sanitize --output-on-failure -j"$(nproc)"
