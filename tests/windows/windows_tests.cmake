# Checks of the Windows program itself: its image as the loader sees it, which needs no run, and
# under Wine the report and the key wait of the quick-count build.
add_test(NAME WindowsImageImportsOnlyKernel32AndMsvcrtHasNoWritableCodeAndStartsAtProgramEntry
  COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:absbench> -DOBJDUMP=${CMAKE_OBJDUMP} -DNM=${CMAKE_NM}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_pe_image.cmake)

if(NOT ABSBENCH_CANNOT_RUN)
  add_test(NAME WindowsReportUnderWineMatchesTheLineFormsByteForByte
    COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:absbench_quick>
            -DEMULATOR=${ABSBENCH_EMULATOR}
            -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/wine-report.txt
            -DKERNEL_LIST=${PROJECT_SOURCE_DIR}/src/kernels/kernel_list.h
            -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_report.cmake)
  set_tests_properties(WindowsReportUnderWineMatchesTheLineFormsByteForByte PROPERTIES
    LABELS e2e TIMEOUT 120)

  add_test(NAME WindowsReportOnAFullDeviceSaysWhyOnStandardErrorAndExitsWithOne
    COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:absbench_quick>
            -DEMULATOR=${ABSBENCH_EMULATOR}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_lost_output.cmake)
  set_tests_properties(WindowsReportOnAFullDeviceSaysWhyOnStandardErrorAndExitsWithOne PROPERTIES
    LABELS e2e TIMEOUT 120)

  # Starts absbench_quick.exe (found beside the driver) in a console of its own and types keys.
  add_executable(key_wait_driver windows/key_wait_driver.cpp)
  add_dependencies(key_wait_driver absbench_quick)
  add_test(NAME WindowsKeyWaitIgnoresAKeyTypedDuringTheRunAndEndsOnAKeyAfterThePrompt
    COMMAND key_wait_driver)
  set_tests_properties(WindowsKeyWaitIgnoresAKeyTypedDuringTheRunAndEndsOnAKeyAfterThePrompt
    PROPERTIES LABELS e2e TIMEOUT 120 PASS_REGULAR_EXPRESSION "key wait: passed")
else()
  absbench_skipped_group(WindowsReportUnderWine)
  absbench_skipped_group(WindowsReportOnAFullDevice)
  absbench_skipped_group(WindowsKeyWait)
endif()

# absbench-stats.exe under Wine, every command.
if(TARGET absbench-stats AND NOT ABSBENCH_CANNOT_RUN)
  foreach(case runs_once saved_reports compare output_file wrong_option)
    set(name CompanionUnderWine_${case})
    add_test(NAME ${name}
      COMMAND ${CMAKE_COMMAND} -DCASE=${case} -DSTATS=$<TARGET_FILE:absbench-stats>
              -DBENCHMARK=$<TARGET_FILE:absbench_quick> -DEMULATOR=${ABSBENCH_EMULATOR}
              -DFIXTURES=${CMAKE_CURRENT_SOURCE_DIR}/stats/fixtures
              -DWORK=${CMAKE_CURRENT_BINARY_DIR}/companion/${case}
              -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_companion.cmake)
    set_tests_properties(${name} PROPERTIES LABELS e2e TIMEOUT 120)
  endforeach()
  foreach(case measures hostile interrupt)
    set(name CompanionSweepUnderWine_${case})
    add_test(NAME ${name}
      COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_sweep.sh ${case}
              $<TARGET_FILE:absbench-stats> ${CMAKE_CURRENT_BINARY_DIR}/sweep/${case}
              ${ABSBENCH_EMULATOR})
    set_tests_properties(${name} PROPERTIES LABELS e2e TIMEOUT 300
      PASS_REGULAR_EXPRESSION "check_sweep.sh ${case}: passed")
  endforeach()
endif()

# --kernel-asm and --predict with their tools and without: the tools are Windows stand-ins, one
# program copied under each tool's name, that run the Linux tools of those names through Wine.
if(TARGET absbench-stats AND NOT ABSBENCH_CANNOT_RUN)
  add_executable(tool_standin windows/tool_standin.cpp)
  set(standin_tools ${CMAKE_CURRENT_BINARY_DIR}/standin_tools)
  set(copies "")
  foreach(tool as objcopy objdump llvm-mc llvm-mca)
    list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tool_standin>
      ${standin_tools}/${tool}.exe)
  endforeach()
  add_custom_command(TARGET tool_standin POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${standin_tools} ${copies})
  foreach(case missing assembled sweep)
    set(name CompanionToolsUnderWine_${case})
    add_test(NAME ${name}
      COMMAND ${CMAKE_COMMAND} -DCASE=${case} -DSTATS=$<TARGET_FILE:absbench-stats>
              -DEMULATOR=${ABSBENCH_EMULATOR} -DTOOLS=${standin_tools}
              -DWORK=${CMAKE_CURRENT_BINARY_DIR}/companion_tools/${case}
              -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_tools.cmake)
    set_tests_properties(${name} PROPERTIES LABELS e2e TIMEOUT 300)
  endforeach()
endif()

# The zip for Windows users, as cpack makes it from the install rules.
if(TARGET absbench-stats)
  add_test(NAME WindowsZipHoldsBothProgramsTheReadmeAndThePageForWindows
    COMMAND ${CMAKE_COMMAND} -DCPACK=${CMAKE_CPACK_COMMAND}
            -DCONFIG=${PROJECT_BINARY_DIR}/CPackConfig.cmake
            -DWORK=${CMAKE_CURRENT_BINARY_DIR}/zip -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_zip.cmake)
endif()

# The Windows side of the companion's system layer, where it promises what the Linux side does.
if(TARGET absbench-stats)
  add_executable(windows_child_helper stats/system/windows/child_helper.cpp)
  # With the companion tests' main, so that the test program plays the roles its tests start.
  add_executable(stats_windows_system_tests
    stats/system/windows/files_test.cpp stats/system/windows/processes_test.cpp
    stats/system/windows/child_roles_test.cpp stats/system/windows/child_faults_test.cpp
    stats/system/windows/path_recorder_test.cpp
    stats/system/windows/float_fault_test.cpp stats/system/windows/child_walls_test.cpp
    stats/test_main.cpp)
  target_include_directories(stats_windows_system_tests PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(stats_windows_system_tests PRIVATE absbench_stats GTest::gtest)
  target_compile_options(stats_windows_system_tests PRIVATE -O0)
  add_dependencies(stats_windows_system_tests windows_child_helper)
  # Memory, scratch folders, tools on PATH and processors; the code arena's test is the Linux one.
  add_executable(windows_memory_child stats/system/windows/memory_child.cpp)
  target_link_libraries(windows_memory_child PRIVATE absbench_stats)
  target_sources(stats_windows_system_tests PRIVATE stats/system/code_arena_test.cpp
    stats/system/windows/memory_test.cpp stats/system/windows/scratch_and_machine_test.cpp)
  add_dependencies(stats_windows_system_tests windows_memory_child)
  if(ABSBENCH_CANNOT_RUN)
    absbench_skipped_group(CompanionSystemLayerOnWindows)
  else()
    gtest_discover_tests(stats_windows_system_tests DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 120 PROPERTIES ${ABSBENCH_TEST_PROPERTIES} TIMEOUT 60)
  endif()
endif()

# The placed code and the contract check's call under the Windows x64 calling convention, with the
# Linux side's tests of the placed code that hold here too.
if(TARGET absbench-stats)
  add_executable(stats_windows_convention_tests
    stats/sweep/placed/calling_convention_test.cpp stats/sweep/isolation/kernel_call_test.cpp
    stats/sweep/placed/checked_chunks_test.cpp stats/sweep/placed/blocks_test.cpp
    stats/sweep/placed/x86_64/sentinel_call.S)
  target_include_directories(stats_windows_convention_tests PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(stats_windows_convention_tests PRIVATE absbench_stats GTest::gtest_main)
  target_compile_options(stats_windows_convention_tests PRIVATE -O0)
  if(ABSBENCH_CANNOT_RUN)
    absbench_skipped_group(SweepCallingConventionOnWindows)
  else()
    gtest_discover_tests(stats_windows_convention_tests DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 120 PROPERTIES ${ABSBENCH_TEST_PROPERTIES} TIMEOUT 60)
  endif()
endif()
