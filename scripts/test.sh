#!/usr/bin/env bash
# Builds everything and runs every test, then the whole suite again under the
# sanitizers and every fuzz target for a bounded time (FUZZ_SECONDS each).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/configure.sh build
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
scripts/sanitize.sh
scripts/fuzz.sh all "${FUZZ_SECONDS:-60}"
# The Windows DLLs, cross-built, and their test programs under Wine
# (FILTERS_SKIP_WINDOWS=1 leaves them out of a quick local run).
[ "${FILTERS_SKIP_WINDOWS:-0}" = 1 ] || scripts/test-windows.sh
