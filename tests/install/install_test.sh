#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks the layout, builds a C
# host against the installed header and runs it on an installed module, runs
# the installed filterhost, and compiles the installed header as C and C++
# with every GCC, Clang and MSVC-style (clang-cl) compiler at hand.
#
#   install_test.sh BUILD_DIR C_COMPILER SOURCE_DIR
set -euo pipefail
build=$1 cc=$2 src=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

header=$prefix/include/filters/filter.h
test -f "$header" && test -x "$prefix/bin/filterhost"
moddir=$(dirname "$(find "$prefix" -name pngxchg.so)")
for m in pngxchg paintxchg gemxchg plughost rsrcxchg; do test -f "$moddir/$m.so"; done
echo "installed: bin/filterhost, ${moddir#$prefix/}/*.so, include/filters/filter.h"

"$cc" -std=c11 -Wall -Wextra -pedantic -Werror -I"$prefix/include" "$src/tests/install/c_host.c" \
  -o "$prefix/c_host" -ldl
out=$("$prefix/c_host" "$moddir/pngxchg.so" "$src/tests/data/pngsuite/basn2c08.png")
echo "$out"
[ "$out" = "$(printf 'caps 0x89208\n32 x 32 x 24')" ]
"$prefix/bin/filterhost" formats | grep -q "PNG Image"

# The header alone, as C and as C++; clang-cl in i686 MSVC mode also runs the
# 32-bit offset checks with __stdcall spelled the MSVC way.
checked=0
for c in gcc clang clang-14; do
  command -v $c >/dev/null || continue
  $c -std=c11 -Wall -Wextra -pedantic -Werror -fsyntax-only -x c "$header"
  $c -std=c++17 -Wall -Wextra -pedantic -Werror -fsyntax-only -x c++ "$header"
  checked=$((checked + 1))
done
for c in clang-cl clang-cl-14; do
  command -v $c >/dev/null || continue
  $c --target=i686-pc-windows-msvc /W4 /WX /Zs /std:c11 /TC "$header"
  $c --target=i686-pc-windows-msvc /W4 /WX /Zs /std:c++17 /TP "$header"
  checked=$((checked + 1))
done
echo "installed header compiled as C and C++ by $checked compilers"
