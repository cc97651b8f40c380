#!/usr/bin/env bash
# Installs the Debian packages of the Windows build when missing: the
# mingw-w64 cross compilers (i686 and x86_64) and zlib for them,
# GoogleTest's sources, CLI11's headers (filterhost.exe); with --wine also
# 64-bit Wine, Xvfb, xdotool and unzip for running the tests and the
# dialog, libwebp's tools and netpbm for the WebP plug-in's tests, and 32-bit
# Wine (adding the i386 architecture) only where this machine runs 32-bit
# programs (scripts/runs-32bit.sh).
set -euo pipefail
cd "$(dirname "$0")"
packages=(cmake make g++ mingw-w64 libz-mingw-w64-dev googletest imagemagick libcli11-dev)
if [ "${1:-}" = "--wine" ]; then
  packages+=(wine wine64 xvfb xauth xdotool unzip webp netpbm)
  if ./runs-32bit.sh; then
    packages+=(wine32:i386)
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      sudo=""
      [ "$(id -u)" -eq 0 ] || sudo="sudo"
      $sudo dpkg --add-architecture i386
    fi
  fi
fi
exec ./apt-install.sh "${packages[@]}"
