# Included by the tools' test scripts: runs TOOL with ARGS (separated by |)
# and checks its exit status (EXPECTED_RC, default 0) and the first line of
# its standard error against EXPECTED_STDERR exactly (none when not given).
# A program built for another machine runs under EMULATOR (a list; empty for
# none). Leaves what it printed in `out` and `err`.
if(NOT DEFINED EXPECTED_RC)
  set(EXPECTED_RC 0)
endif()
string(REPLACE "|" ";" ARGS "${ARGS}")
execute_process(COMMAND ${EMULATOR} ${TOOL} ${ARGS} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL EXPECTED_RC)
  message(FATAL_ERROR "${TOOL} exited with ${rc}, expected ${EXPECTED_RC}\n${out}${err}")
endif()
if(DEFINED EXPECTED_STDERR)
  string(FIND "${err}" "\n" end)
  string(SUBSTRING "${err}" 0 ${end} first_line)
  if(NOT first_line STREQUAL EXPECTED_STDERR)
    message(FATAL_ERROR "standard error was:\n${err}\nexpected:\n${EXPECTED_STDERR}")
  endif()
elseif(NOT err STREQUAL "")
  message(FATAL_ERROR "standard error was:\n${err}")
endif()
