# The layers as the build sees them. Headers are included as "layer/file.h"
# from src/, but no library is given src/ itself: each gets an include root
# of its own under the build tree, holding one forwarding header for each of
# its own headers, and sees another layer's headers only by linking that
# layer. An include of a layer a library does not link (one above it) then
# fails to compile.
#
# orvan_layer_headers(TARGET DIR [ROOT folder] [AS prefix] [ONLY name...]
#                     [EXCLUDE name...] [INTERNAL name...])
#   TARGET's public include root: the headers of ROOT/DIR (ROOT src/ unless
#   given; that folder, not its subfolders, which are libraries of their
#   own), all of them, only the ONLY ones, or all but the EXCLUDE ones,
#   included as "DIR/NAME.h" (or "AS/NAME.h"). The INTERNAL ones go to a root
#   of TARGET's own sources alone, so that no library above can include them.
function(orvan_layer_headers target dir)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "ROOT;AS" "ONLY;EXCLUDE;INTERNAL")
  if(NOT arg_ROOT)
    set(arg_ROOT ${PROJECT_SOURCE_DIR}/src)
  endif()
  if(NOT arg_AS)
    set(arg_AS ${dir})
  endif()
  if(arg_INTERNAL)
    orvan_forward_headers(${target}-internal ${dir} ${arg_AS} ${arg_ROOT} "${arg_INTERNAL}" "")
    target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/include/${target}-internal)
    list(APPEND arg_EXCLUDE ${arg_INTERNAL})
  endif()
  if(arg_ONLY)
    set(names ${arg_ONLY})
  else()
    file(GLOB headers CONFIGURE_DEPENDS ${arg_ROOT}/${dir}/*.h)
    set(names "")
    foreach(header IN LISTS headers)
      get_filename_component(name ${header} NAME)
      list(APPEND names ${name})
    endforeach()
  endif()
  orvan_forward_headers(${target} ${dir} ${arg_AS} ${arg_ROOT} "${names}" "${arg_EXCLUDE}")
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${CMAKE_BINARY_DIR}/include/${target})
  else()
    target_include_directories(${target} PUBLIC ${CMAKE_BINARY_DIR}/include/${target})
  endif()
endfunction()

# The include root include/ROOT_NAME in the build tree: one forwarding
# header AS/NAME for each of `names` in SOURCE_ROOT/DIR but the `excluded`,
# and nothing else.
function(orvan_forward_headers root_name dir as source_root names excluded)
  set(root ${CMAKE_BINARY_DIR}/include/${root_name})
  set(wanted "")
  foreach(name IN LISTS names)
    set(header ${source_root}/${dir}/${name})
    if(name IN_LIST excluded)
      continue()
    endif()
    if(NOT EXISTS ${header})
      message(FATAL_ERROR "${root_name}: no header ${header}")
    endif()
    # Rewritten only when it changes, so a new configure rebuilds nothing.
    file(CONFIGURE OUTPUT ${root}/${as}/${name}
         CONTENT "#pragma once\n#include \"${header}\"\n")
    list(APPEND wanted ${root}/${as}/${name})
  endforeach()

  # A header moved to another library must not stay visible here.
  file(GLOB_RECURSE present ${root}/*)
  foreach(file IN LISTS present)
    if(NOT file IN_LIST wanted)
      file(REMOVE ${file})
    endif()
  endforeach()
endfunction()
