#!/usr/bin/env bash
# Configures a build directory for the project's own scripts:
#
#   scripts/configure.sh BUILD_DIR [cmake options...]
#
# Every option the scripts rely on is given on each call, so what an earlier
# configure left in the directory's cache (tests off, another build type)
# never carries over. Warnings are errors here; the options that follow
# override the defaults below.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
shift
cmake -S . -B "$build" -DFILTERS_WERROR=ON -DFILTERS_TESTS=ON -DFILTERS_BENCH=ON \
  -DFILTERS_SANITIZE=OFF -DFILTERS_FUZZ=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
