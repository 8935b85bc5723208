# Runs TOOL SCENARIO and checks its exit status (EXPECTED_RC, default 0), its
# standard output against the file EXPECTED (when given) and its standard error
# against the text EXPECTED_STDERR (when given), exactly.
if(NOT DEFINED EXPECTED_RC)
  set(EXPECTED_RC 0)
endif()
execute_process(COMMAND ${TOOL} ${SCENARIO}
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL EXPECTED_RC)
  message(FATAL_ERROR "${TOOL} exited with ${rc}, expected ${EXPECTED_RC}\n${err}")
endif()
if(DEFINED EXPECTED)
  file(READ ${EXPECTED} expected)
  if(NOT out STREQUAL expected)
    message(FATAL_ERROR "transcript differs from ${EXPECTED}:\n${out}")
  endif()
endif()
if(DEFINED EXPECTED_STDERR AND NOT err STREQUAL "${EXPECTED_STDERR}\n")
  message(FATAL_ERROR "standard error was: ${err}")
endif()
if(DEFINED EXPECTED_STDERR AND NOT out STREQUAL "")
  message(FATAL_ERROR "a malformed scenario ran: ${out}")
endif()
