#!/usr/bin/env bash
# Cross-builds the DLLs and the Windows test programs and runs them under
# Wine (a private Wine prefix inside the build directory).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${FILTERS_WIN_BUILD:-build-win}
scripts/deps-windows.sh --wine
scripts/cross-build.sh --tests
export WINEPREFIX=$PWD/$build/_wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# One Wine server and its services for all test programs, started here with
# their output away from ctest's pipes (which they would otherwise hold open),
# and stopped when the tests are done.
wineserver -p </dev/null >/dev/null 2>&1
trap 'wineserver -k || true' EXIT
wineboot -i </dev/null >/dev/null 2>&1
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
