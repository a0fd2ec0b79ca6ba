# cmake -DCPACK=... -DCONFIG=.../CPackConfig.cmake -DWORK=... -P check_zip.cmake: packs the zip a
# Windows user gets and checks that it holds both programs, the README and the page for Windows.
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CPACK} -G ZIP --config ${CONFIG} -B ${WORK}
  RESULT_VARIABLE packed OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT packed EQUAL 0)
  message(FATAL_ERROR "cpack failed: ${said}")
endif()
file(GLOB zips ${WORK}/absbench-*-windows.zip)
list(LENGTH zips count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one absbench-VERSION-windows.zip in ${WORK}, found: ${zips}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${zips} OUTPUT_VARIABLE listed
  RESULT_VARIABLE read)
foreach(file bin/absbench.exe bin/absbench-stats.exe README.md windows.md)
  if(NOT read EQUAL 0 OR NOT listed MATCHES "/${file}\n")
    message(FATAL_ERROR "the zip lacks ${file}; it holds:\n${listed}")
  endif()
endforeach()
