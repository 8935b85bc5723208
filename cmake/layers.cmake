# The layers as the build sees them. Headers are included as "layer/file.h"
# from src/, but no library is given src/ itself: each gets an include root
# of its own under the build tree, holding one forwarding header for each of
# its own headers, and sees another layer's headers only by linking that
# layer. An include of a layer a library does not link (one above it) then
# fails to compile.
#
# orvan_layer_headers(TARGET DIR [ONLY name...] [EXCLUDE name...])
#   TARGET's public include root: the headers of src/DIR (that folder, not
#   its subfolders, which are libraries of their own), all of them, only the
#   ONLY ones, or all but the EXCLUDE ones.
function(orvan_layer_headers target dir)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "ONLY;EXCLUDE")
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  if(arg_ONLY)
    list(TRANSFORM arg_ONLY PREPEND ${PROJECT_SOURCE_DIR}/src/${dir}/ OUTPUT_VARIABLE headers)
  else()
    file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${dir}/*.h)
  endif()

  set(wanted "")
  foreach(header IN LISTS headers)
    get_filename_component(name ${header} NAME)
    if(name IN_LIST arg_EXCLUDE)
      continue()
    endif()
    if(NOT EXISTS ${header})
      message(FATAL_ERROR "${target}: no header ${header}")
    endif()
    # Rewritten only when it changes, so a new configure rebuilds nothing.
    file(CONFIGURE OUTPUT ${root}/${dir}/${name}
         CONTENT "#pragma once\n#include \"${header}\"\n")
    list(APPEND wanted ${root}/${dir}/${name})
  endforeach()

  # A header moved to another library must not stay visible here.
  file(GLOB_RECURSE present ${root}/*)
  foreach(file IN LISTS present)
    if(NOT file IN_LIST wanted)
      file(REMOVE ${file})
    endif()
  endforeach()

  target_include_directories(${target} PUBLIC ${root})
endfunction()
