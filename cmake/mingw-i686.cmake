# Cross build of the 32-bit Windows DLLs with Debian's mingw-w64 (i686).
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(FILTERS_MINGW_PREFIX i686-w64-mingw32)
set(FILTERS_WINE_NAMES wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
