# cmake -DSOURCE_DIR=src -P check_layers.cmake
# Every source includes only its own layer and the layers below it:
#   shell -> bench -> kernels -> console -> platform, and the companion (stats) beside them,
#   which uses the loop macro of bench, the kernels and the report's texts.
# The one call upward is named here: the platform's process entry hands over to the shell.
cmake_minimum_required(VERSION 3.25)
set(MAY_USE_shell shell bench kernels console platform)
set(MAY_USE_bench bench kernels console platform)
set(MAY_USE_kernels kernels console platform)
set(MAY_USE_console console platform)
set(MAY_USE_platform platform)
set(MAY_USE_stats stats bench kernels console)
set(THE_CALL_UPWARD "platform/posix.cpp includes shell/shell.h")

get_filename_component(SOURCE_DIR ${SOURCE_DIR} ABSOLUTE)
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
  ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.S ${SOURCE_DIR}/*.inc)
set(failures "")
foreach(source IN LISTS sources)
  string(REGEX MATCH "^[^/]+" layer "${source}")
  file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^#include \"[a-z]+/")
  foreach(line IN LISTS includes)
    string(REGEX MATCH "\"(([a-z]+)/[^\"]+)\"" _ "${line}")
    set(use "${source} includes ${CMAKE_MATCH_1}")
    if(NOT CMAKE_MATCH_2 IN_LIST MAY_USE_${layer} AND NOT use STREQUAL THE_CALL_UPWARD)
      string(APPEND failures "${use}, but ${layer} may use only: ${MAY_USE_${layer}}\n")
    endif()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
