# Checks of the Windows program itself: its image as the loader sees it, and a whole run under Wine.
add_test(NAME WindowsImageImportsOnlyKernel32AndMsvcrtAndHasNoWritableCode
  COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:absbench> -DOBJDUMP=${CMAKE_OBJDUMP}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_pe_image.cmake)

add_test(NAME WindowsReportUnderWineMatchesTheLineFormsByteForByte
  COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:absbench> -DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}
          -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/wine-report.txt
          -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_report.cmake)
set_tests_properties(WindowsReportUnderWineMatchesTheLineFormsByteForByte PROPERTIES
  LABELS e2e TIMEOUT 600)
