#!/usr/bin/env bash
# Builds everything and runs every test, then the whole suite again under the
# sanitizers and every fuzz target for a bounded time (FUZZ_SECONDS each).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
scripts/sanitize.sh
scripts/fuzz.sh all "${FUZZ_SECONDS:-60}"
