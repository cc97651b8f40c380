#!/usr/bin/env bash
# Installs the Debian packages of the Windows build when missing: the
# mingw-w64 cross compiler and zlib for it, GoogleTest's sources, CLI11's
# headers (filterhost.exe); with --wine also Wine (32-bit, so the i386
# architecture is added), Xvfb and xdotool for running the tests and the
# dialog, and libwebp's tools and netpbm for the WebP plug-in's tests.
set -euo pipefail
packages=(cmake make g++ mingw-w64 libz-mingw-w64-dev googletest imagemagick libcli11-dev)
wine=0
[ "${1:-}" = "--wine" ] && wine=1
[ $wine -eq 1 ] && packages+=(wine wine32 xvfb xauth xdotool webp netpbm)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ $wine -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
