# What `cmake --install` puts in place: the shared library and its header,
# the program with its manual page and bash completion, and the files that
# find the library: a CMake package (find_package(ccdcrc) gives
# ccdcrc::ccdcrc) and ccdcrc.pc for pkg-config. Every file is found relative
# to where it lies, so the tree works under any prefix.
include(CMakePackageConfigHelpers)

set(CCDCRC_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ccdcrc)

install(TARGETS ccdcrc EXPORT ccdcrc_targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/ccdcrc/ccdcrc.h ${PROJECT_SOURCE_DIR}/include/ccdcrc/legacy.h
  ${PROJECT_SOURCE_DIR}/include/ccdcrc/export.h ${PROJECT_BINARY_DIR}/include/ccdcrc/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ccdcrc COMPONENT development)

install(EXPORT ccdcrc_targets NAMESPACE ccdcrc:: FILE ccdcrcTargets.cmake
  DESTINATION ${CCDCRC_CMAKE_DIR} COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ccdcrcConfig.cmake.in
  ${PROJECT_BINARY_DIR}/ccdcrcConfig.cmake INSTALL_DESTINATION ${CCDCRC_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ccdcrcConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ccdcrcConfig.cmake ${PROJECT_BINARY_DIR}/ccdcrcConfigVersion.cmake
  DESTINATION ${CCDCRC_CMAKE_DIR} COMPONENT development)

# pkg-config finds the prefix from where the file lies (${pcfiledir}).
file(RELATIVE_PATH CCDCRC_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" CCDCRC_PC_TO_PREFIX "${CCDCRC_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/ccdcrc.pc.in ${PROJECT_BINARY_DIR}/ccdcrc.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/ccdcrc.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

if(CCDCRC_PROGRAM)
  # The program links the library's code statically: it needs no run-time
  # search path of its own.
  install(TARGETS ccdcrc_console RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)

  configure_file(${PROJECT_SOURCE_DIR}/docs/ccdcrc.1.in ${PROJECT_BINARY_DIR}/doc/ccdcrc.1 @ONLY)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/doc/ccdcrc.1.gz
    COMMAND gzip -9 -n -c ${PROJECT_BINARY_DIR}/doc/ccdcrc.1 > ${PROJECT_BINARY_DIR}/doc/ccdcrc.1.gz
    DEPENDS ${PROJECT_BINARY_DIR}/doc/ccdcrc.1
    COMMENT "Compressing the manual page")
  add_custom_target(ccdcrc_manual ALL DEPENDS ${PROJECT_BINARY_DIR}/doc/ccdcrc.1.gz)
  install(FILES ${PROJECT_BINARY_DIR}/doc/ccdcrc.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/ccdcrc.bash RENAME ccdcrc
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT runtime)
endif()

install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)

if(TARGET ccdcrc_python)
  # The Python package. Debian's python3 finds it under the prefix /usr;
  # under other prefixes set CCDCRC_PYTHON_INSTALL_DIR to a folder the
  # interpreter searches (e.g. lib/python3.11/dist-packages for /usr/local),
  # or put the folder on PYTHONPATH.
  set(CCDCRC_PYTHON_INSTALL_DIR lib/python3/dist-packages CACHE STRING
    "Where the Python package ccdcrc is installed, relative to the prefix")
  set(python_package_dir ${CCDCRC_PYTHON_INSTALL_DIR}/ccdcrc)
  install(TARGETS ccdcrc_python LIBRARY DESTINATION ${python_package_dir} COMPONENT python)
  # `python3 -m ccdcrc` runs the program of the same prefix, found relative to the package.
  file(RELATIVE_PATH CCDCRC_PYTHON_PROGRAM /${python_package_dir} /${CMAKE_INSTALL_BINDIR}/ccdcrc)
  configure_file(${PROJECT_SOURCE_DIR}/python/ccdcrc/_program.py.in ${PROJECT_BINARY_DIR}/python/installed/_program.py
    @ONLY)
  install(FILES ${CCDCRC_PYTHON_SOURCES} ${PROJECT_BINARY_DIR}/python/installed/_program.py
    DESTINATION ${python_package_dir} COMPONENT python)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/python3-ccdcrc
    COMPONENT python)
endif()
