# cmake -DEXE=absbench.exe -DEMULATOR=wine -P check_lost_output.cmake
# Standard output on a full device: the run goes to its end, then one line on standard error
# names the system's reason, and the exit code is 1.
execute_process(COMMAND ${EMULATOR} ${EXE}
  INPUT_FILE /dev/null OUTPUT_FILE /dev/full ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 1)
  message(FATAL_ERROR "exit status ${status}, expected 1; standard error: ${errors}")
endif()
if(NOT errors MATCHES "^absbench: the report could not be written: [^\n]+\n$")
  message(FATAL_ERROR "standard error is not the one line expected: '${errors}'")
endif()
message(STATUS "${errors}")
