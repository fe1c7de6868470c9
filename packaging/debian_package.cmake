# `cpack -G DEB` in the build tree makes one Debian package per install
# component, under /usr:
#   ccdcrc          the program, its manual page and completions;
#   libccdcrc0      the shared library in the multiarch directory, with its
#                   shlibs and symbols files and an ldconfig trigger;
#   libccdcrc-dev   the header, the .so link, the CMake package and ccdcrc.pc;
#   python3-ccdcrc  the Python package, where the module is built; it depends
#                   on the Python version it was built for and on ccdcrc of
#                   the same version, whose program `python3 -m ccdcrc` runs.
# Dependencies on the libraries the files load are found by dpkg-shlibdeps.
# The Maintainer field is CCDCRC_MAINTAINER (install_rules.cmake).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ccdcrc)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# With CPack's default summary, the first line of each package's description
# is its synopsis.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CCDCRC_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING IGNORE)

set(about "ccdcrc extracts, for every IED of an IEC 61850 SCD file, the GOOSE and
sampled-value circuits it publishes and subscribes to into a CCD document,
and computes a CRC-32 over its canonical text, plus one CRC for the SCD.")

set(library_package libccdcrc${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME ccdcrc)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION "circuit CRCs of the IEDs of IEC 61850 SCD files
${about}
This package holds the program: it compares SCD revisions by these CRCs,
checks them against lists of approved CRCs and verifies exported CCD files.")

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME ${library_package})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
# dpkg's ldconfig trigger, not maintainer scripts, runs ldconfig (see
# remove_ldconfig_scripts.cmake); the shlibs and symbols files tell
# dpkg-shlibdeps what a program that links the library depends on.
configure_file(${CMAKE_CURRENT_LIST_DIR}/shlibs.in ${PROJECT_BINARY_DIR}/debian/shlibs @ONLY)
file(STRINGS ${PROJECT_SOURCE_DIR}/src/api/exported_symbols.txt exported_symbols)
set(symbols "libccdcrc.so.${PROJECT_VERSION_MAJOR} ${library_package} #MINVER#\n")
foreach(symbol ${exported_symbols})
  string(APPEND symbols " ${symbol}@Base ${PROJECT_VERSION}\n")
endforeach()
file(WRITE ${PROJECT_BINARY_DIR}/debian/symbols "${symbols}")
file(WRITE ${PROJECT_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA
  ${PROJECT_BINARY_DIR}/debian/shlibs ${PROJECT_BINARY_DIR}/debian/symbols ${PROJECT_BINARY_DIR}/debian/triggers)
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION "circuit CRCs of IEC 61850 SCD files - shared library
${about}
This package holds the shared library with its C interface.")
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/remove_ldconfig_scripts.cmake)

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libccdcrc-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${library_package} (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "circuit CRCs of IEC 61850 SCD files - development files
${about}
This package holds the C header, a CMake package (find_package(ccdcrc)) and
the pkg-config file ccdcrc.pc.")

if(TARGET ccdcrc_python)
  string(REPLACE "." ";" python_version "${CCDCRC_PYTHON_VERSION}")
  list(GET python_version 0 python_major)
  list(GET python_version 1 python_minor)
  math(EXPR python_next_minor "${python_minor} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-ccdcrc)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  # The extension is built for one minor version of the interpreter.
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3 (>= ${python_major}.${python_minor}~), \
python3 (<< ${python_major}.${python_next_minor}), ccdcrc (= ${PROJECT_VERSION})")
  set(CPACK_COMPONENT_PYTHON_DESCRIPTION "circuit CRCs of IEC 61850 SCD files - Python 3 module
${about}
This package holds the Python 3 module: import ccdcrc loads an SCD once and
gives the CRCs of its IEDs and the SCD CRC, the CCD of an IED and its CCD
files, on the library's code, with the GIL released while it works.
python3 -m ccdcrc runs the ccdcrc program.")
endif()
include(CPack)
