# Runs TOOL SCENARIO and compares its standard output with EXPECTED, byte for byte.
execute_process(COMMAND ${TOOL} ${SCENARIO} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${TOOL} exited with ${rc}")
endif()
file(READ ${EXPECTED} expected)
if(NOT out STREQUAL expected)
  message(FATAL_ERROR "transcript differs from ${EXPECTED}:\n${out}")
endif()
