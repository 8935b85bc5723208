# A quoted include resolves beside the including file before any include
# root, so "scripted/scripted_observatory.h" would build from
# src/observatory/ whatever the layers say. Fails, naming each, on an include
# with a folder in its name that a file's own folder holds: a header of the
# same library is included by its name alone.
#
#   cmake -DROOT=TREE -P beside_includes.cmake
if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=TREE -P beside_includes.cmake")
endif()
file(GLOB_RECURSE sources ${ROOT}/src/*.h ${ROOT}/src/*.cpp ${ROOT}/tools/*.h ${ROOT}/tools/*.cpp
     ${ROOT}/tests/*.h ${ROOT}/tests/*.cpp ${ROOT}/bench/*.h ${ROOT}/bench/*.cpp)
set(found "")
foreach(source IN LISTS sources)
  file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]*/[^\"]*\"")
  get_filename_component(folder ${source} DIRECTORY)
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" header "${line}")
    if(EXISTS ${folder}/${header})
      file(RELATIVE_PATH name ${ROOT} ${source})
      string(APPEND found "${name}: \"${header}\" resolves beside the file, not through its layer\n")
    endif()
  endforeach()
endforeach()
if(found)
  # As it is, unwrapped, so that each line names its file whole.
  message(NOTICE "${found}")
  message(FATAL_ERROR "includes that resolve beside the file")
endif()
