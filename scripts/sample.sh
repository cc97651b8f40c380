#!/usr/bin/env bash
# Builds the modules and filterhost, then converts the shipped MacPaint sample.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
# The same configuration as scripts/test.sh, which then reuses this build.
scripts/configure.sh build
cmake --build build -j"$(nproc)" --target filterhost pngxchg paintxchg gemxchg plughost rsrcxchg \
  >/dev/null
mkdir -p out
build/bin/filterhost info examples/samples/sample.mac
build/bin/filterhost convert examples/samples/sample.mac out/sample.pbm
echo "wrote out/sample.pbm"
