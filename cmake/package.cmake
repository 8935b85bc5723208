# The zip users download: OrvanACP.exe with a read-me and the licence, both
# with Windows line endings, and a SHA-256 checksum beside it. Nothing else is
# installed: not the debug file, not the test tools.

# The product version is the one the version record shows (OrvanACP.rc).
include(${CMAKE_CURRENT_LIST_DIR}/product_version.cmake)

configure_file(${PROJECT_SOURCE_DIR}/packaging/README.txt ${PROJECT_BINARY_DIR}/packaging/README.txt
               @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/packaging/LICENSE.txt
               @ONLY NEWLINE_STYLE CRLF)

install(TARGETS OrvanACP RUNTIME DESTINATION .)
install(FILES ${PROJECT_BINARY_DIR}/packaging/README.txt ${PROJECT_BINARY_DIR}/packaging/LICENSE.txt
        DESTINATION .)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(orvan_platform win64)
else()
  set(orvan_platform win32)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME OrvanACP)
set(CPACK_PACKAGE_VENDOR "The OrvanACP developers")
set(CPACK_PACKAGE_VERSION ${ORVAN_PRODUCT_VERSION})
set(CPACK_PACKAGE_FILE_NAME OrvanACP-${ORVAN_PRODUCT_VERSION}-${orvan_platform})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# The three files sit at the top of the zip: "Extract all" makes the folder.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# Writes OrvanACP-<version>-win64.zip.sha256 ("<hash>  <zip name>") beside
# the zip, for sha256sum -c.
set(CPACK_PACKAGE_CHECKSUM SHA256)
include(CPack)
