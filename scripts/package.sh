#!/usr/bin/env bash
# Builds a Windows release: the five DLLs, filterhost.exe, the contract
# header, the host integration guide, LICENSE, THIRD-PARTY-NOTICES.txt and
# VERSION.txt, zipped as dist/filters-VERSION-win32.zip (--arch x86, the
# default, for 32-bit hosts) or dist/filters-VERSION-win64.zip (--arch x64,
# for 64-bit hosts); the zip's path is the last line printed. The zip holds
# one top directory with the installed tree: bin/, lib/filters/,
# include/filters/ and the documents.
#
#   scripts/package.sh [--arch x86|x64] [--no-build]
#
# --no-build packages the cross build as it is (build-win or build-win64, or
# FILTERS_WIN_BUILD).
set -euo pipefail
cd "$(dirname "$0")/.."
arch=x86
build_it=1
while [ $# -gt 0 ]; do
  case "$1" in
    --arch) arch=${2:-}; shift 2 ;;
    --arch=*) arch=${1#--arch=}; shift ;;
    --no-build) build_it=0; shift ;;
    *) echo "usage: $0 [--arch x86|x64] [--no-build]" >&2; exit 2 ;;
  esac
done
case "$arch" in
  x86) suffix=win32; build=${FILTERS_WIN_BUILD:-build-win} ;;
  x64) suffix=win64; build=${FILTERS_WIN_BUILD:-build-win64} ;;
  *) echo "$0: --arch takes x86 or x64, not '$arch'" >&2; exit 2 ;;
esac
[ $build_it = 0 ] || scripts/cross-build.sh --arch "$arch" >&2
version=$(cat "$build/VERSION.txt")
name=filters-$version-$suffix
stage=$build/package
rm -rf "$stage"
cmake --install "$build" --prefix "$stage/$name" --strip >/dev/null
mkdir -p dist
rm -f "dist/$name.zip"
(cd "$stage" && cmake -E tar cf "$OLDPWD/dist/$name.zip" --format=zip "$name")
echo "dist/$name.zip"
