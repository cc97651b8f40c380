#!/usr/bin/env bash
# Builds the Windows release: the five DLLs, filterhost.exe, the contract
# header, the host integration guide, LICENSE, THIRD-PARTY-NOTICES.txt and
# VERSION.txt, zipped as dist/filters-VERSION-win32.zip (its path is the
# last line printed). The zip holds one top directory with the installed
# tree: bin/, lib/filters/, include/filters/ and the documents.
#
#   scripts/package.sh [--no-build]   # --no-build: package build-win as it is
set -euo pipefail
cd "$(dirname "$0")/.."
build=${FILTERS_WIN_BUILD:-build-win}
[ "${1:-}" = "--no-build" ] || scripts/cross-build.sh >&2
version=$(cat "$build/VERSION.txt")
name=filters-$version-win32
stage=$build/package
rm -rf "$stage"
cmake --install "$build" --prefix "$stage/$name" --strip >/dev/null
mkdir -p dist
rm -f "dist/$name.zip"
(cd "$stage" && cmake -E tar cf "$OLDPWD/dist/$name.zip" --format=zip "$name")
echo "dist/$name.zip"
