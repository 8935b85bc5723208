# The product version, read from its one source: the version record of the
# Windows program (src/app/OrvanACP.rc). Sets ORVAN_PRODUCT_VERSION ("1.00").
file(STRINGS ${PROJECT_SOURCE_DIR}/src/app/OrvanACP.rc orvan_rc_version REGEX "VALUE \"ProductVersion\"")
if(NOT orvan_rc_version MATCHES "\"ProductVersion\", *\"([^\"]+)\"")
  message(FATAL_ERROR "no ProductVersion in src/app/OrvanACP.rc")
endif()
set(ORVAN_PRODUCT_VERSION ${CMAKE_MATCH_1})
