# `cpack -G DEB` in the build tree makes ccdcrc_VERSION_ARCH.deb: the program,
# its manual page and completion, the shared library, its header and the
# CMake and pkg-config files, under /usr. Its dependencies are the Debian
# packages of the shared libraries that its programs and library load, as
# dpkg-shlibdeps finds them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ccdcrc)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "circuit CRCs of the IEDs of IEC 61850 SCD files")
set(CPACK_PACKAGE_DESCRIPTION
  "ccdcrc extracts, for every IED of an IEC 61850 SCD file, the GOOSE and
sampled-value circuits it publishes and subscribes to into a CCD document,
and computes a CRC-32 over its canonical text, plus one CRC for the SCD.
It compares SCD revisions by these CRCs, checks them against approved
lists and verifies exported CCD files. This package holds the program
and the shared library with its C interface, header, CMake package and
pkg-config file.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CCDCRC_PACKAGE_MAINTAINER "ccdcrc developers <ccdcrc@localhost>" CACHE STRING
  "The Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CCDCRC_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The shared library: a shlibs file for packages that link it (any version
# since this one will do); CPack adds the ldconfig calls.
configure_file(${CMAKE_CURRENT_LIST_DIR}/shlibs.in ${PROJECT_BINARY_DIR}/debian/shlibs @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/shlibs)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
include(CPack)
