#!/usr/bin/env bash
# Cross-builds the DLLs and the Windows test programs for each architecture
# and runs them under Wine, each build in its own Wine prefix
# (BUILD/_wine): the 64-bit ones (build-win64) under 64-bit Wine on every
# machine, the 32-bit ones (build-win) under 32-bit Wine where this machine
# runs 32-bit programs (scripts/runs-32bit.sh; FILTERS_RUNS_32BIT=0|1
# forces the answer). Elsewhere the 32-bit ones are built, and the script
# says they were not run without failing. For each architecture it also
# makes the release zip and checks it (only what needs no Wine where the
# suites do not run), plays the options dialog and opens and saves WebP
# files through the WebPShop plug-in.
#
#   scripts/test-windows.sh [--arch x86|x64]   # both by default
set -euo pipefail
cd "$(dirname "$0")/.."
archs="x64 x86"
case "${1:-}" in
  "") ;;
  --arch) archs=${2:?--arch takes x86 or x64} ;;
  *) echo "usage: $0 [--arch x86|x64]" >&2; exit 2 ;;
esac
scripts/deps-windows.sh --wine
# The suites that build for Windows; each runs as one Wine process.
suites="windows_dll_tests contract_tests rsrcxchg_tests macpaint_import_tests macpaint_export_tests
  gemimg_tests plughost_tests png_export_tests png_import_tests"

# True when a failed run's log shows every test passed: the process ended
# badly after the tests (seen once in ~150 runs under heavy load, inside
# Wine's process exit), which a second run tells apart from a real failure.
all_passed() {
  grep -qE '^\[  PASSED  \]' "$1" && ! grep -qE '^\[  FAILED  \]' "$1"
}
run_suite() {
  "$WINE" "$build/bin/$1.exe" --gtest_brief=1 >"$build/$1.log" 2>&1
}

# Runs every suite of the build in $build, then checks its release zip,
# plays the options dialog and runs the WebP plug-in; sets failed=1 on any
# failure.
run_under_wine() {
  local arch=$1 t zip
  . scripts/wine-env.sh "$build"
  # One Wine server and its services for all test programs, started here
  # with their output away from the pipes of the caller (which they would
  # otherwise hold open), and stopped when the tests are done.
  "$WINESERVER" -p </dev/null >/dev/null 2>&1 || true  # may already be running
  trap '"$WINESERVER" -k || true' EXIT
  "$WINE" wineboot.exe -i </dev/null >/dev/null 2>&1
  for t in $suites; do
    if run_suite "$t"; then
      echo "$t under $arch Wine: $(grep -E '^\[  PASSED  \]' "$build/$t.log")"
    elif all_passed "$build/$t.log" && cp "$build/$t.log" "$build/$t.first.log" && run_suite "$t"; then
      echo "$t under $arch Wine: all tests passed but the process failed on exit; a second run passed"
    else
      cat "$build/$t.log"; echo "$t under $arch Wine: FAILED"; failed=1
    fi
  done
  # The release zip, made from this build and checked as an integrator unpacks it.
  zip=$(FILTERS_WIN_BUILD=$build scripts/package.sh --arch "$arch" --no-build | tail -1)
  tests/windows/package_check.sh "$zip" || failed=1
  # The options dialog of pngxchg.dll, played through the window system under
  # its own Xvfb (about 30 seconds); it restarts the Wine server itself.
  timeout 300 tests/windows/options_dialog_test.sh "$build" || failed=1
  # WebP files opened and saved through a shipping plug-in, WebPShop 0.2.1
  # (status 77: this Wine does not run the build, or a tool is missing).
  local status=0
  tests/windows/webpshop_test.sh "$build" "$arch" || status=$?
  [ $status -eq 0 ] || [ $status -eq 77 ] || failed=1
  "$WINESERVER" -k 2>/dev/null || true
  trap - EXIT
}

failed=0
for arch in $archs; do
  case "$arch" in
    x86) build=build-win ;;
    x64) build=build-win64 ;;
    *) echo "$0: --arch takes x86 or x64, not '$arch'" >&2; exit 2 ;;
  esac
  started=$(date +%s)
  FILTERS_WIN_BUILD=$build FILTERS_WIN_TESTS="$suites options_dialog_host" \
    scripts/cross-build.sh --arch "$arch" --tests
  built=$(date +%s)
  if [ "$arch" = x86 ] && ! scripts/runs-32bit.sh; then
    echo "x86 Windows suites built, not run: this machine cannot run 32-bit programs"
    # The release zip needs no Wine but for loading its DLLs.
    zip=$(FILTERS_WIN_BUILD=$build scripts/package.sh --arch x86 --no-build | tail -1)
    tests/windows/package_check.sh --no-wine "$zip" || failed=1
  else
    run_under_wine "$arch"
  fi
  echo "Windows $arch step: $(($(date +%s) - started)) s" \
    "(build $((built - started)) s, the rest $(($(date +%s) - built)) s)"
done
exit $failed
