# add_module_resources(<target> <name>): compiles <name>.rc of the current
# source directory into <target>. The .rc includes descriptor.bin and
# strings.rc, which a small tool built for the build machine writes from the
# module's descriptor.cpp and strings.cpp, so that the DLL carries exactly
# the bytes and strings of the ELF build.
find_program(FILTERS_HOST_CXX NAMES c++ g++ NO_CMAKE_FIND_ROOT_PATH REQUIRED)

function(add_module_resources target name)
  set(src ${CMAKE_CURRENT_SOURCE_DIR})
  set(gen ${CMAKE_CURRENT_BINARY_DIR}/resources)
  set(tool ${PROJECT_SOURCE_DIR}/cmake/module_resources.cpp)
  add_custom_command(
    OUTPUT ${gen}/descriptor.bin ${gen}/strings.rc
    COMMAND ${CMAKE_COMMAND} -E make_directory ${gen}
    COMMAND ${FILTERS_HOST_CXX} -std=c++17 -I${PROJECT_SOURCE_DIR} -I${src} ${tool}
            ${src}/descriptor.cpp ${src}/strings.cpp -o ${gen}/module_resources
    COMMAND ${gen}/module_resources ${gen}
    DEPENDS ${tool} ${src}/descriptor.cpp ${src}/descriptor.inc ${src}/strings.cpp
            ${PROJECT_SOURCE_DIR}/common/module.h ${PROJECT_SOURCE_DIR}/common/module_strings.h
    COMMENT "Writing the descriptor and string table of ${name}")
  set_source_files_properties(${gen}/descriptor.bin ${gen}/strings.rc
    PROPERTIES HEADER_FILE_ONLY ON GENERATED ON)
  set_source_files_properties(${src}/${name}.rc PROPERTIES
    OBJECT_DEPENDS "${gen}/descriptor.bin;${gen}/strings.rc;${PROJECT_SOURCE_DIR}/common/module_win32.rc")
  target_sources(${target} PRIVATE ${src}/${name}.rc ${gen}/descriptor.bin ${gen}/strings.rc)
  target_include_directories(${target} PRIVATE ${gen})
endfunction()
