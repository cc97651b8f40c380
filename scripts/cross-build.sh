#!/usr/bin/env bash
# Cross-builds the Windows DLLs with mingw-w64 (pngxchg.dll, paintxchg.dll,
# gemxchg.dll, plughost.dll, rsrcxchg.dll into BUILD/modules, filterhost.exe
# into BUILD/bin), then checks that every DLL imports system DLLs only.
#
#   scripts/cross-build.sh [--arch x86|x64] [--tests]
#
# --arch x86 (the default) builds 32-bit DLLs in build-win, --arch x64
# 64-bit DLLs in build-win64 (FILTERS_WIN_BUILD names another directory).
# With --tests it also builds GoogleTest from Debian's sources with the cross
# compiler (once per build directory) and the Windows test programs named in
# FILTERS_WIN_TESTS (all when unset).
set -euo pipefail
cd "$(dirname "$0")/.."
arch=x86
tests=OFF
while [ $# -gt 0 ]; do
  case "$1" in
    --arch) arch=${2:-}; shift 2 ;;
    --arch=*) arch=${1#--arch=}; shift ;;
    --tests) tests=ON; shift ;;
    *) echo "usage: $0 [--arch x86|x64] [--tests]" >&2; exit 2 ;;
  esac
done
case "$arch" in
  x86) prefix=i686-w64-mingw32; toolchain=$PWD/cmake/mingw-i686.cmake; default_build=build-win ;;
  x64) prefix=x86_64-w64-mingw32; toolchain=$PWD/cmake/mingw-x86_64.cmake; default_build=build-win64 ;;
  *) echo "$0: --arch takes x86 or x64, not '$arch'" >&2; exit 2 ;;
esac
build=${FILTERS_WIN_BUILD:-$default_build}
scripts/deps-windows.sh
jobs=$(nproc)
gtest_dir=$PWD/$build/_deps/gtest
if [ $tests = ON ] && [ ! -f "$gtest_dir/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B "$build/_deps/googletest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$gtest_dir" >/dev/null
  cmake --build "$build/_deps/googletest" -j"$jobs" >/dev/null
  cmake --install "$build/_deps/googletest" >/dev/null
fi
scripts/configure.sh "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DFILTERS_BENCH=OFF \
  -DFILTERS_TESTS=$tests -DGTest_DIR="$gtest_dir/lib/cmake/GTest"
targets=(pngxchg paintxchg gemxchg plughost rsrcxchg filterhost)
if [ $tests = ON ]; then
  if [ -n "${FILTERS_WIN_TESTS:-}" ]; then targets+=($FILTERS_WIN_TESTS); else targets=(all); fi
fi
cmake --build "$build" -j"$jobs" --target "${targets[@]}"

# Every DLL may need only DLLs that come with Windows.
system='^(kernel32|user32|gdi32|comdlg32|advapi32|msvcrt)\.dll$'
status=0
for dll in pngxchg paintxchg gemxchg plughost rsrcxchg; do
  file=$build/modules/$dll.dll
  for name in $($prefix-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
    if ! echo "$name" | tr 'A-Z' 'a-z' | grep -Eq "$system"; then
      echo "$file imports $name, which is not a system DLL" >&2
      status=1
    fi
  done
done
[ $status -eq 0 ] && echo "Windows $arch DLLs in $build/modules: $(cd "$build/modules" && echo *.dll)"
exit $status
