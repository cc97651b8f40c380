# Cross build of the 64-bit Windows DLLs with Debian's mingw-w64 (x86_64).
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(FILTERS_MINGW_PREFIX x86_64-w64-mingw32)
# Debian keeps the 64-bit loader in /usr/lib/wine; its "wine" picks the
# 32-bit one whenever wine32 is installed.
set(FILTERS_WINE_NAMES wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
