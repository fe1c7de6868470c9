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
install(FILES ${PROJECT_SOURCE_DIR}/include/ccdcrc/ccdcrc.h ${PROJECT_BINARY_DIR}/include/ccdcrc/version.h
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

  configure_file(${PROJECT_SOURCE_DIR}/doc/ccdcrc.1.in ${PROJECT_BINARY_DIR}/doc/ccdcrc.1 @ONLY)
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
