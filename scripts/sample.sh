#!/usr/bin/env bash
# Builds the modules and filterhost, then converts the shipped MacPaint sample.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DFILTERS_TESTS=OFF -DFILTERS_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
mkdir -p out
build/bin/filterhost info examples/samples/sample.mac
build/bin/filterhost convert examples/samples/sample.mac out/sample.pbm
echo "wrote out/sample.pbm"
