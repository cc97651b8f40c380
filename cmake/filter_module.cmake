# add_filter_module(<name> SOURCES <files...> [LIBS <libs...>])
#
# Builds <name>_core, an object library with the module's sources and its own
# copy of common/, and the loadable module <name> (build/modules/<name>.so)
# that exports FilterEntry and the descriptor symbols only. Tests link
# <name>_core to call FilterEntry directly and reach the heap test hooks.
set(FILTER_COMMON_SOURCES
    ${PROJECT_SOURCE_DIR}/common/heap.cpp
    ${PROJECT_SOURCE_DIR}/common/delivery.cpp
    ${PROJECT_SOURCE_DIR}/common/module_strings.cpp
    ${PROJECT_SOURCE_DIR}/common/record_blocks.cpp
    ${PROJECT_SOURCE_DIR}/common/platform_posix.cpp
    ${PROJECT_SOURCE_DIR}/common/dialog_posix.cpp
    ${PROJECT_SOURCE_DIR}/common/platform_plugin_posix.cpp
    ${PROJECT_SOURCE_DIR}/common/profile_posix.cpp)

function(add_filter_module name)
  cmake_parse_arguments(M "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name}_core OBJECT ${M_SOURCES} ${FILTER_COMMON_SOURCES})
  set_target_properties(${name}_core PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(${name}_core PUBLIC ${PROJECT_SOURCE_DIR}
                                                 ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name}_core PUBLIC ${M_LIBS} ${CMAKE_DL_LIBS})

  add_library(${name} MODULE)
  target_link_libraries(${name} PRIVATE ${name}_core)
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/modules)
  target_link_options(${name} PRIVATE
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/common/exports.map -Wl,-z,defs)
endfunction()
