# cmake --install: filterhost in <bindir>, the modules in <libdir>/filters,
# the contract header as <includedir>/filters/filter.h, and the licence, the
# third-party notices, the host guide and the version in <docdir> (at the
# top of the tree in the Windows build, which scripts/package.sh zips).
include(GNUInstallDirs)
set(FILTERS_INSTALL_MODULEDIR ${CMAKE_INSTALL_LIBDIR}/filters)
if(WIN32)
  set(FILTERS_INSTALL_DOCDIR .)
else()
  set(FILTERS_INSTALL_DOCDIR ${CMAKE_INSTALL_DOCDIR})
endif()

install(TARGETS pngxchg paintxchg gemxchg plughost rsrcxchg
        LIBRARY DESTINATION ${FILTERS_INSTALL_MODULEDIR})
install(TARGETS filterhost RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES common/filter.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/filters)
file(WRITE ${PROJECT_BINARY_DIR}/VERSION.txt "${PROJECT_VERSION}\n")
install(FILES LICENSE THIRD-PARTY-NOTICES.txt docs/host-integration.md
              ${PROJECT_BINARY_DIR}/VERSION.txt
        DESTINATION ${FILTERS_INSTALL_DOCDIR})

# An installed filterhost finds the modules relative to itself.
file(RELATIVE_PATH filters_bin_to_modules /${CMAKE_INSTALL_BINDIR} /${FILTERS_INSTALL_MODULEDIR})
target_compile_definitions(filterhost_lib PRIVATE
  FILTERS_INSTALLED_MODULE_DIR="${filters_bin_to_modules}")
