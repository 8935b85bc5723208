# Runs TOOL with ARGS (a list) and checks that it refuses them: exit status 2
# and FIRST_LINE as the first line of its standard error, exactly.
execute_process(COMMAND ${TOOL} ${ARGS} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 2)
  message(FATAL_ERROR "${TOOL} exited with ${rc}, expected 2\n${err}")
endif()
string(FIND "${err}" "\n" end)
string(SUBSTRING "${err}" 0 ${end} first)
if(NOT first STREQUAL FIRST_LINE)
  message(FATAL_ERROR "standard error began: ${first}")
endif()
if(NOT out STREQUAL "")
  message(FATAL_ERROR "it printed: ${out}")
endif()
