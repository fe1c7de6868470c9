# What `cmake --install` puts in place: the shared library and its header,
# the program with its manual page and its bash, zsh and fish completions,
# and the files that find the library: a CMake package (find_package(ccdcrc)
# gives ccdcrc::ccdcrc) and ccdcrc.pc for pkg-config. The CMake package finds
# the library relative to where it lies; ccdcrc.pc names the prefix of the
# install. Components, one Debian package each: program (ccdcrc), library
# (libccdcrc0), development (libccdcrc-dev), python (python3-ccdcrc).
include(CMakePackageConfigHelpers)

set(CCDCRC_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ccdcrc)

install(TARGETS ccdcrc EXPORT ccdcrc_targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library NAMELINK_COMPONENT development
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

# ccdcrc.pc names the prefix of the install (not the place of the file, which
# pkg-config would print as /usr/lib/x86_64-linux-gnu/pkgconfig/../../..):
# written at install time, when the prefix is known.
set(CCDCRC_PC_PREFIX @CCDCRC_PC_PREFIX@)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ccdcrc.pc.in ${PROJECT_BINARY_DIR}/ccdcrc.pc.in @ONLY)
install(CODE "set(CCDCRC_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
configure_file(\"${PROJECT_BINARY_DIR}/ccdcrc.pc.in\" \"${PROJECT_BINARY_DIR}/installed/ccdcrc.pc\" @ONLY)"
  COMPONENT development)
install(FILES ${PROJECT_BINARY_DIR}/installed/ccdcrc.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT development)

if(CCDCRC_PROGRAM)
  # The program links the library's code statically: it needs no run-time
  # search path of its own.
  install(TARGETS ccdcrc_console RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)

  configure_file(${PROJECT_SOURCE_DIR}/docs/ccdcrc.1.in ${PROJECT_BINARY_DIR}/doc/ccdcrc.1 @ONLY)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/doc/ccdcrc.1.gz
    COMMAND gzip -9 -n -c ${PROJECT_BINARY_DIR}/doc/ccdcrc.1 > ${PROJECT_BINARY_DIR}/doc/ccdcrc.1.gz
    DEPENDS ${PROJECT_BINARY_DIR}/doc/ccdcrc.1
    COMMENT "Compressing the manual page")
  add_custom_target(ccdcrc_manual ALL DEPENDS ${PROJECT_BINARY_DIR}/doc/ccdcrc.1.gz)
  install(FILES ${PROJECT_BINARY_DIR}/doc/ccdcrc.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/ccdcrc.bash RENAME ccdcrc
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT program)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/ccdcrc.zsh RENAME _ccdcrc
    DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions COMPONENT program)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/ccdcrc.fish
    DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d COMPONENT program)
endif()

# Every package has the licence notice and the changelog in its documentation folder.
# Who maintains the Debian packages: their Maintainer field and the changelog's
# signature. By default DEBFULLNAME and DEBEMAIL, as Debian's tools take them.
if(DEFINED ENV{DEBEMAIL} AND DEFINED ENV{DEBFULLNAME})
  set(maintainer "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
else()
  set(maintainer "ccdcrc maintainers <maintainers@ccdcrc.org>")
endif()
set(CCDCRC_MAINTAINER "${maintainer}" CACHE STRING "Name <address> of who maintains the Debian packages")
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/debian/changelog.gz
  COMMAND gzip -9 -n -c ${PROJECT_BINARY_DIR}/debian/changelog > ${PROJECT_BINARY_DIR}/debian/changelog.gz
  DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog)
add_custom_target(ccdcrc_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog.gz)
set(documented_components library development)
if(CCDCRC_PROGRAM)
  list(APPEND documented_components program)
endif()
foreach(component ${documented_components})
  set(package_name_program ccdcrc)
  set(package_name_library libccdcrc${PROJECT_VERSION_MAJOR})
  set(package_name_development libccdcrc-dev)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${PROJECT_BINARY_DIR}/debian/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package_name_${component}} COMPONENT ${component})
endforeach()

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
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${PROJECT_BINARY_DIR}/debian/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/python3-ccdcrc COMPONENT python)
endif()
