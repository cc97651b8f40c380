#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
set -euo pipefail
exec "$(dirname "$0")/apt-install.sh" cmake g++ make googletest libgtest-dev libbenchmark-dev \
  zlib1g-dev libpng-dev libcli11-dev netpbm imagemagick pngcheck ffmpeg webp g++-multilib \
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 icoutils clang-14 libclang-rt-14-dev
