# The fuzz targets: <target> <module core> pairs. fuzz/<target>.cpp holds the
# target; fuzz/corpus/<target>/ its seed corpus and crash regressions.
set(FILTERS_FUZZ_TARGETS
  fuzz_paintxchg paintxchg_core
  fuzz_paintxchg_export paintxchg_core
  fuzz_gemxchg gemxchg_core
  fuzz_gemxchg_export gemxchg_core
  fuzz_rsrcxchg rsrcxchg_core
  fuzz_pngxchg pngxchg_core
  fuzz_pngxchg_export pngxchg_core
  fuzz_plughost plughost_core)

# Calls add_one(<target> <core> <sources...>) for every target.
macro(filters_for_each_fuzz_target add_one)
  set(_list ${FILTERS_FUZZ_TARGETS})
  while(_list)
    list(POP_FRONT _list _target _core)
    cmake_language(CALL ${add_one} ${_target} ${_core}
                   ${PROJECT_SOURCE_DIR}/fuzz/${_target}.cpp ${PROJECT_SOURCE_DIR}/fuzz/fuzz_host.cpp)
  endwhile()
endmacro()
