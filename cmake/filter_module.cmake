# add_filter_module(<name> SOURCES <files...> [LIBS <libs...>]
#                   [INSTANCE_ON_EVERY_NOTIFICATION])
#
# Builds <name>_core, an object library with the module's sources and its own
# copy of common/, and the loadable module <name> that exports FilterEntry
# (build/modules/<name>.so, or <name>.dll in the Windows build). Tests link
# <name>_core to call FilterEntry directly and reach the heap test hooks.
#
# The Windows build adds the module's <name>.def (exports) and <name>.rc
# (resources) from its source directory, the Win32 platform layer and the
# DLL entry point; INSTANCE_ON_EVERY_NOTIFICATION makes that entry point
# store the instance handle on every notification, not only on attach.
set(FILTER_COMMON_SOURCES
    ${PROJECT_SOURCE_DIR}/common/heap.cpp
    ${PROJECT_SOURCE_DIR}/common/delivery.cpp
    ${PROJECT_SOURCE_DIR}/common/module_strings.cpp
    ${PROJECT_SOURCE_DIR}/common/record_blocks.cpp)
if(WIN32)
  enable_language(RC)
  list(APPEND FILTER_COMMON_SOURCES
    ${PROJECT_SOURCE_DIR}/common/platform_win32.cpp
    ${PROJECT_SOURCE_DIR}/common/dialog_win32.cpp
    ${PROJECT_SOURCE_DIR}/common/platform_plugin_win32.cpp
    ${PROJECT_SOURCE_DIR}/common/dllmain_win32.cpp)
  include(${CMAKE_CURRENT_LIST_DIR}/module_resources.cmake)
else()
  list(APPEND FILTER_COMMON_SOURCES
    ${PROJECT_SOURCE_DIR}/common/platform_posix.cpp
    ${PROJECT_SOURCE_DIR}/common/dialog_posix.cpp
    ${PROJECT_SOURCE_DIR}/common/platform_plugin_posix.cpp
    ${PROJECT_SOURCE_DIR}/common/profile_posix.cpp)
endif()

function(add_filter_module name)
  cmake_parse_arguments(M "INSTANCE_ON_EVERY_NOTIFICATION" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name}_core OBJECT ${M_SOURCES} ${FILTER_COMMON_SOURCES})
  target_include_directories(${name}_core PUBLIC ${PROJECT_SOURCE_DIR}
                                                 ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name}_core PUBLIC ${M_LIBS} ${CMAKE_DL_LIBS})
  add_library(${name} MODULE)
  target_link_libraries(${name} PRIVATE ${name}_core)
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/modules)
  if(WIN32)
    add_module_resources(${name}_core ${name})
    if(M_INSTANCE_ON_EVERY_NOTIFICATION)
      target_compile_definitions(${name}_core PRIVATE FLT_INSTANCE_ON_EVERY_NOTIFICATION)
    endif()
    target_link_libraries(${name}_core PUBLIC comdlg32 user32 gdi32)
    target_sources(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/${name}.def)
    return()
  endif()
  set_target_properties(${name}_core PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(${name} PRIVATE
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/common/exports.map -Wl,-z,defs)
endfunction()
