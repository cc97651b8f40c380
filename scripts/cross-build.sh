#!/usr/bin/env bash
# Cross-builds the 32-bit Windows DLLs with mingw-w64 into build-win/modules
# (pngxchg.dll, paintxchg.dll, gemxchg.dll, plughost.dll, rsrcxchg.dll) and
# filterhost.exe into build-win/bin, then checks that every DLL imports
# system DLLs only. With --tests it also builds GoogleTest from Debian's
# sources with the cross compiler and the Windows test programs.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${FILTERS_WIN_BUILD:-build-win}
tests=OFF
[ "${1:-}" = "--tests" ] && tests=ON
scripts/deps-windows.sh
toolchain=$PWD/cmake/mingw-i686.cmake
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
# Without --tests: the DLLs and filterhost.exe; with it, also the test
# programs named in FILTERS_WIN_TESTS (all when unset).
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
  for name in $(i686-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
    if ! echo "$name" | tr 'A-Z' 'a-z' | grep -Eq "$system"; then
      echo "$file imports $name, which is not a system DLL" >&2
      status=1
    fi
  done
done
[ $status -eq 0 ] && echo "Windows DLLs in $build/modules: $(cd "$build/modules" && echo *.dll)"
exit $status
