# What the two Windows toolchain files share; they set FILTERS_MINGW_PREFIX
# and CMAKE_SYSTEM_PROCESSOR first, and FILTERS_WINE_NAMES, the Wine loaders
# that run their programs (first found wins).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${FILTERS_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FILTERS_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${FILTERS_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${FILTERS_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The DLLs must need nothing but system DLLs: take static archives only
# (libz.a rather than the import library of zlib1.dll) and link the C and
# C++ runtimes in.
set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine.
find_program(FILTERS_WINE NAMES ${FILTERS_WINE_NAMES} PATHS /usr/lib/wine)
if(FILTERS_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${FILTERS_WINE})
endif()
