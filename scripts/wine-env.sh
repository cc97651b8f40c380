# Sourced, not run:  . scripts/wine-env.sh BUILD_DIR
#
# Sets up Wine for the Windows cross build in BUILD_DIR: exports WINEPREFIX
# (BUILD_DIR/_wine, so the 32-bit and the 64-bit builds never share a
# prefix), WINEDEBUG and WINEDLLOVERRIDES, and WINE and WINESERVER, the
# loader and server to call (WINESERVER exported for the 64-bit build only,
# where Wine must start the 64-bit server), and FILTERS_WIN_ARCH, x64 or x86. A 64-bit build (configured with
# cmake/mingw-x86_64.cmake) runs under Debian's 64-bit loader itself, since
# the "wine" wrapper takes the 32-bit one whenever wine32 is installed; a
# 32-bit build runs under "wine".
wine_build=${1:?usage: . scripts/wine-env.sh BUILD_DIR}
case "$wine_build" in /*) ;; *) wine_build=$PWD/$wine_build ;; esac
if grep -q '^CMAKE_TOOLCHAIN_FILE:.*mingw-x86_64' "$wine_build/CMakeCache.txt" 2>/dev/null; then
  WINE=$(PATH=/usr/lib/wine:$PATH command -v wine64 || command -v wine || echo wine)
  WINESERVER=$(PATH=/usr/lib/wine:$PATH command -v wineserver64 || command -v wineserver ||
    echo wineserver)
  export WINEARCH=win64 WINELOADER=$WINE WINESERVER
  FILTERS_WIN_ARCH=x64
else
  WINE=wine
  WINESERVER=wineserver
  unset WINEARCH WINELOADER
  export -n WINESERVER
  FILTERS_WIN_ARCH=x86
fi
export WINE WINEPREFIX=$wine_build/_wine WINEDEBUG=-all \
  WINEDLLOVERRIDES="mscoree,mshtml="
unset wine_build
