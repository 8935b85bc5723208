# The Linux program's Debian package (cmake --preset linux-release && cmake
# --build --preset linux-release --target package):
# orvanacp_<version>_<arch>.deb, with
#   /usr/bin/orvanacp                          the program, stripped
#   /usr/bin/orvanacp-model                    the pointing-model fitter, stripped
#   /usr/bin/orvanacp-plot                     the cycle log's picture (builds with Qt GUI)
#   /usr/share/man/man1/*.1.gz                 their manual pages
#   /lib/systemd/system/orvanacp.service       the service
#   /lib/systemd/system/orvanacp@.service      one service per mount (/etc/orvanacp/NAME.conf)
#   /etc/default/orvanacp                      the service's options (a conffile)
#   /usr/share/doc/orvanacp/                   copyright, changelog.gz and the user documents
# Its dependencies are what dpkg-shlibdeps finds the program linked against.
# scripts/check-deb checks the package. The arm64 preset packs the same for
# 64-bit ARM (scripts/check-arm64): a cross build asks the sysroot which
# package holds each library: scripts/make-arm64-sysroot leaves a dpkg
# database of the packages it unpacked in <sysroot>/var/lib/dpkg, which
# dpkg-shlibdeps reads through DPKG_ADMINDIR, with DEB_HOST_ARCH naming the
# architecture (debian-package-cpack.cmake, read by cpack).
#
# The install rules below lay out the package's tree from the root, so they
# are meant for CPack (or cmake --install with a scratch prefix), not for
# installing into /usr/local.

include(${CMAKE_CURRENT_LIST_DIR}/product_version.cmake)
set(orvan_linux ${PROJECT_SOURCE_DIR}/packaging/linux)
set(orvan_deb_build ${PROJECT_BINARY_DIR}/packaging/linux)

# The latest entry of the package's changelog names the product version.
file(STRINGS ${orvan_linux}/changelog orvan_changelog_top LIMIT_COUNT 1)
if(NOT orvan_changelog_top MATCHES "^orvanacp \\(([^)]+)\\)")
  message(FATAL_ERROR "packaging/linux/changelog does not start with an orvanacp entry")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL ORVAN_PRODUCT_VERSION)
  message(FATAL_ERROR "packaging/linux/changelog's latest entry is for ${CMAKE_MATCH_1}, "
                      "the product version is ${ORVAN_PRODUCT_VERSION}: add an entry")
endif()

# The manual page carries the version; it and the changelog are compressed
# as Debian has them (gzip -9n: no name, no time stamp, the same bytes on
# every build). The package is native (made from this repository, not from
# an upstream release), so its changelog is changelog.gz.
find_program(ORVAN_GZIP gzip REQUIRED)
# The programs packed: the tools where this build has them (the model fitter
# needs no Qt GUI; the plot does, so an arm64 build goes without it).
set(orvan_deb_programs orvanacp)
foreach(orvan_tool IN ITEMS orvanacp-model orvanacp-plot)
  if(TARGET ${orvan_tool})
    list(APPEND orvan_deb_programs ${orvan_tool})
  endif()
endforeach()
set(orvan_deb_pages)
foreach(orvan_program IN LISTS orvan_deb_programs)
  configure_file(${orvan_linux}/${orvan_program}.1 ${orvan_deb_build}/${orvan_program}.1 @ONLY)
  list(APPEND orvan_deb_pages ${orvan_deb_build}/${orvan_program}.1)
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${orvan_linux}/changelog)
foreach(orvan_page IN ITEMS ${orvan_deb_pages} ${orvan_linux}/changelog)
  get_filename_component(orvan_page_name ${orvan_page} NAME)
  execute_process(COMMAND ${ORVAN_GZIP} -9nc ${orvan_page}
                  OUTPUT_FILE ${orvan_deb_build}/${orvan_page_name}.gz
                  RESULT_VARIABLE orvan_gzip_result)
  if(NOT orvan_gzip_result EQUAL 0)
    message(FATAL_ERROR "gzip ${orvan_page} failed: ${orvan_gzip_result}")
  endif()
endforeach()

foreach(orvan_program IN LISTS orvan_deb_programs)
  install(TARGETS ${orvan_program} RUNTIME DESTINATION usr/bin)
  # Stripped as dh_strip does: the symbols and the .comment and .note sections.
  install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                                        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/usr/bin/${orvan_program}\"
                                COMMAND_ERROR_IS_FATAL ANY)")
  install(FILES ${orvan_deb_build}/${orvan_program}.1.gz DESTINATION usr/share/man/man1)
endforeach()
install(FILES ${orvan_linux}/orvanacp.service ${orvan_linux}/orvanacp@.service
        DESTINATION lib/systemd/system)
install(FILES ${orvan_linux}/orvanacp.default DESTINATION etc/default RENAME orvanacp)
install(FILES ${orvan_linux}/copyright ${orvan_deb_build}/changelog.gz
              ${PROJECT_SOURCE_DIR}/docs/indi.md ${PROJECT_SOURCE_DIR}/docs/pointing-model.md
              ${PROJECT_SOURCE_DIR}/docs/log-format.md ${PROJECT_SOURCE_DIR}/docs/frames.md
        DESTINATION usr/share/doc/orvanacp)
if(TARGET orvanacp-model AND EXISTS ${PROJECT_SOURCE_DIR}/docs/point-formats.md)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/point-formats.md DESTINATION usr/share/doc/orvanacp)
endif()

# dpkg's name for the machine the program is built for.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(orvan_deb_arch amd64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64|ARM64)$")
  set(orvan_deb_arch arm64)
else()
  set(orvan_deb_arch ${CMAKE_SYSTEM_PROCESSOR})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvanacp)
set(CPACK_PACKAGE_VERSION ${ORVAN_PRODUCT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${orvan_deb_arch})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Holding by the frames (--frames) plate-solves with astrometry.net and its
# Tycho-2 index files; without them only frames with a WCS are used.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "astrometry.net, astrometry-data-tycho2")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The OrvanACP developers <orvanacp@example.invalid>")
if(TARGET orvan_qt)
  set(orvan_deb_window "It runs in a Qt window or without one")
else()
  set(orvan_deb_window "It runs without a window (this build has none)")
endif()
if(TARGET orvanacp-plot)
  set(orvan_deb_tools "the pointing-model fitter orvanacp-model, the picture of a\nnight orvanacp-plot, ")
else()
  set(orvan_deb_tools "the pointing-model fitter orvanacp-model, ")
endif()
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "holds a telescope on target with guide pulses
OrvanACP holds a telescope on a sky position without a guide camera: every
4 seconds it maps the target and the mount's reported position through the
pointing model and, on each axis that is off by more than the largest error
accepted, sends one guide pulse just long enough to take the error out.
.
${orvan_deb_window}, on a built-in simulated observatory
or on a real mount through an INDI server. The package holds the program,
${orvan_deb_tools}their manual pages
and a systemd service (orvanacp.service) that runs the program without a
window, with its options in /etc/default/orvanacp, or one per mount
(orvanacp@NAME.service, with its options in /etc/orvanacp/NAME.conf).")
# The defaults file is the user's to edit: dpkg keeps their changes.
# Maintainer scripts: systemd is told of the unit; a running service is
# restarted on upgrade and stopped on removal.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    "${orvan_linux}/conffiles;${orvan_linux}/postinst;${orvan_linux}/prerm;${orvan_linux}/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

if(CMAKE_CROSSCOMPILING)
  # cpack packs what is built (the arm64 preset builds the program and the
  # tests): it doesn't build every target first.
  set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
  if(NOT ORVAN_ARM64_SYSROOT)
    message(FATAL_ERROR "the Debian package of a cross build needs the sysroot (ORVAN_ARM64_SYSROOT)")
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
