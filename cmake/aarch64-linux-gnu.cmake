# Cross-builds the Linux program for 64-bit ARM with Debian's aarch64 cross
# compiler (g++-aarch64-linux-gnu), against an arm64 sysroot unpacked from
# Debian's arm64 packages by scripts/make-arm64-sysroot.
#
# The compiler keeps its own C library and C++ runtime
# (/usr/aarch64-linux-gnu); the sysroot adds the libraries the program uses
# (Qt Core, ERFA, INDI's client, GoogleTest), found there by find_package,
# find_library and pkg-config. Programs built here run under qemu-aarch64
# with the sysroot as their root (CMAKE_CROSSCOMPILING_EMULATOR), so ctest
# and gtest_discover_tests run them as they would native ones.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# The sysroot: ORVAN_ARM64_SYSROOT, or where scripts/make-arm64-sysroot puts
# it by default.
if(NOT ORVAN_ARM64_SYSROOT)
  if(DEFINED ENV{ORVAN_ARM64_SYSROOT})
    set(ORVAN_ARM64_SYSROOT "$ENV{ORVAN_ARM64_SYSROOT}")
  else()
    get_filename_component(ORVAN_ARM64_SYSROOT "${CMAKE_CURRENT_LIST_DIR}/../build/arm64-sysroot/root"
                           ABSOLUTE)
  endif()
endif()
if(NOT EXISTS "${ORVAN_ARM64_SYSROOT}/usr/lib/aarch64-linux-gnu")
  message(FATAL_ERROR "no arm64 sysroot in ${ORVAN_ARM64_SYSROOT}: run scripts/make-arm64-sysroot")
endif()
set(ORVAN_ARM64_SYSROOT "${ORVAN_ARM64_SYSROOT}" CACHE PATH "The arm64 sysroot (scripts/make-arm64-sysroot)")
# try_compile projects read this file again: they get the same sysroot.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORVAN_ARM64_SYSROOT)

set(CMAKE_FIND_ROOT_PATH "${ORVAN_ARM64_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads the sysroot's .pc files only and puts the sysroot before
# the paths they name.
set(ENV{PKG_CONFIG_DIR} "")
set(ENV{PKG_CONFIG_LIBDIR}
    "${ORVAN_ARM64_SYSROOT}/usr/lib/aarch64-linux-gnu/pkgconfig:${ORVAN_ARM64_SYSROOT}/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${ORVAN_ARM64_SYSROOT}")

# The libraries the sysroot's libraries need (Qt Core's ICU, GLib, ...) are
# looked up there at link time; none of them is linked directly.
set(orvan_arm64_link_dirs
    "-Wl,-rpath-link,${ORVAN_ARM64_SYSROOT}/usr/lib/aarch64-linux-gnu:${ORVAN_ARM64_SYSROOT}/lib/aarch64-linux-gnu")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${orvan_arm64_link_dirs}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${orvan_arm64_link_dirs}")

# Qt's host tools (moc and the like, should a target need them) are the
# build machine's own (qt6-base-dev-tools).
execute_process(COMMAND dpkg-architecture -qDEB_BUILD_MULTIARCH OUTPUT_VARIABLE orvan_build_multiarch
                OUTPUT_STRIP_TRAILING_WHITESPACE)
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${orvan_build_multiarch}/cmake)

find_program(ORVAN_QEMU_AARCH64 qemu-aarch64)
if(ORVAN_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${ORVAN_QEMU_AARCH64};-L;${ORVAN_ARM64_SYSROOT}")
endif()
