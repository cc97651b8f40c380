#!/usr/bin/env bash
# Compiles the contract header for a 32-bit x86 target, as C and as C++, so
# that its offset assertions run. Exits 77 (skipped) without a 32-bit compiler.
set -u
cxx="$1"; cc="$2"; src="$3"
probe=$(mktemp --suffix=.c)
trap 'rm -f "$probe"' EXIT
echo 'int main(void){return 0;}' > "$probe"
if ! "$cc" -m32 -c "$probe" -o /dev/null 2>/dev/null; then
  echo "no 32-bit x86 compiler (install g++-multilib): layout check skipped"
  exit 77
fi
"$cc" -m32 -std=c11 -Wall -Werror -fsyntax-only -I"$src" -x c "$src/common/filter.h" &&
"$cxx" -m32 -std=c++17 -Wall -Werror -fsyntax-only -I"$src" -x c++ "$src/common/filter.h" &&
echo "32-bit layout of FilterRecord and HostServices verified"
