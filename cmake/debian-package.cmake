# The Debian package of the Linux program, orvanacp_<version>_<arch>.deb:
# /usr/bin/orvanacp and its copyright file, its Depends computed by
# dpkg-shlibdeps from the libraries it loads.
#
#   cmake --build --preset arm64 --target orvanacp && cpack --config build/arm64/CPackConfig.cmake -B build/arm64
#
# A cross build (the arm64 preset) asks the sysroot which package holds each
# library: scripts/make-arm64-sysroot leaves a dpkg database of the packages
# it unpacked in <sysroot>/var/lib/dpkg, which dpkg-shlibdeps reads through
# DPKG_ADMINDIR, with DEB_HOST_ARCH naming the architecture
# (debian-package-cpack.cmake, read by cpack).

# The version the program shows (--version) and the Windows zip carries.
file(STRINGS ${PROJECT_SOURCE_DIR}/src/app/OrvanACP.rc orvan_rc_version REGEX "VALUE \"ProductVersion\"")
if(NOT orvan_rc_version MATCHES "\"ProductVersion\", *\"([^\"]+)\"")
  message(FATAL_ERROR "no ProductVersion in src/app/OrvanACP.rc")
endif()
set(orvan_deb_version ${CMAKE_MATCH_1})

# Debian's name for the architecture built for.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(orvan_deb_arch arm64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(orvan_deb_arch amd64)
else()
  message(FATAL_ERROR "ORVAN_DEB: no Debian architecture known for ${CMAKE_SYSTEM_PROCESSOR}")
endif()

install(TARGETS orvanacp RUNTIME DESTINATION bin)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION share/doc/orvanacp RENAME copyright)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvanacp)
set(CPACK_PACKAGE_VENDOR "The OrvanACP developers")
set(CPACK_PACKAGE_VERSION ${orvan_deb_version})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${orvan_deb_arch})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The OrvanACP developers")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(TARGET orvan_qt)
  set(orvan_deb_window "with its Qt window or without one (--headless)")
else()
  set(orvan_deb_window "without a window (--headless): this build has none")
endif()
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "holds a telescope on target with guide pulses")
# The summary, then this below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "OrvanACP maps the target and the mount's position through a pointing model
and, on each axis off by more than a threshold, sends one guide pulse just
long enough to take the error out. It runs on a built-in simulated
observatory or on a mount on an INDI server,
${orvan_deb_window}.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

if(CMAKE_CROSSCOMPILING)
  # cpack packs what is built (the arm64 preset builds the program and the
  # tests): it doesn't build every target first.
  set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
  if(NOT ORVAN_ARM64_SYSROOT)
    message(FATAL_ERROR "ORVAN_DEB in a cross build needs the sysroot (ORVAN_ARM64_SYSROOT)")
  endif()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
      ${ORVAN_ARM64_SYSROOT}/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}
      ${ORVAN_ARM64_SYSROOT}/lib/${CMAKE_LIBRARY_ARCHITECTURE})
  set(ORVAN_DEB_DPKG_ADMINDIR ${ORVAN_ARM64_SYSROOT}/var/lib/dpkg)
  set(ORVAN_DEB_HOST_ARCH ${orvan_deb_arch})
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian-package-cpack.cmake.in
                 ${PROJECT_BINARY_DIR}/debian-package-cpack.cmake @ONLY)
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/debian-package-cpack.cmake)
endif()
include(CPack)
