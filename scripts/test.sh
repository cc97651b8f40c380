#!/usr/bin/env bash
# Builds everything and runs every test, builds the modules and filterhost in
# Release too, runs the whole suite again under the sanitizers and every fuzz
# target for a fixed seed and number of inputs (the same tree always gives the
# same result), then the Windows builds (64-bit and 32-bit) and their tests
# under Wine (the 32-bit ones only where this machine runs 32-bit programs).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/configure.sh build
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
# Optimised builds draw warnings that the default build does not.
scripts/configure.sh build-release -DCMAKE_BUILD_TYPE=Release -DFILTERS_TESTS=OFF -DFILTERS_BENCH=OFF
cmake --build build-release -j"$(nproc)" --target pngxchg paintxchg gemxchg plughost rsrcxchg filterhost
scripts/sanitize.sh
scripts/fuzz.sh --fixed all
# The Windows DLLs, cross-built for x64 and x86, and their test programs
# under Wine (FILTERS_SKIP_WINDOWS=1 leaves them out of a quick local run).
[ "${FILTERS_SKIP_WINDOWS:-0}" = 1 ] || scripts/test-windows.sh
