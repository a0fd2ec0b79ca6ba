# cmake -DSOURCE_DIR=src -P check_layers.cmake
# Every source includes only its own layer and the layers below it:
#   shell -> bench -> kernels -> console -> platform, and the companion beside them:
#   stats/main.cpp -> the commands (stats/sweep, stats/summary, stats/compare) -> the toolkit's
#   rooms (cli -> runs -> record -> host -> text -> math) -> the measures' vocabulary at the top
#   of stats -> its calls to the operating system (stats/system); within the sweep, the command
#   -> output, prediction -> user_code -> isolation -> placed -> estimate.
# The sweep uses the loop macro of bench, and the kernels and the report's texts; no folder of the
# companion but stats/system includes the operating system's headers.
# The one call upward is named here: the platform's process entry hands over to the shell.
cmake_minimum_required(VERSION 3.25)
set(MAY_USE_shell shell bench kernels console platform)
set(MAY_USE_bench bench kernels console platform)
set(MAY_USE_kernels kernels console platform)
set(MAY_USE_console console platform)
set(MAY_USE_platform platform)
set(MAY_USE_stats/system stats/system)
set(MAY_USE_stats stats)
set(MAY_USE_stats/math stats/math stats)
set(MAY_USE_stats/text stats/text ${MAY_USE_stats/math} stats/system)
set(MAY_USE_stats/host stats/host ${MAY_USE_stats/text})
set(MAY_USE_stats/record stats/record ${MAY_USE_stats/host})
set(MAY_USE_stats/runs stats/runs ${MAY_USE_stats/record} kernels console)
set(MAY_USE_stats/cli stats/cli ${MAY_USE_stats/runs})
set(TOOLKIT ${MAY_USE_stats/cli})
set(MAY_USE_stats/summary stats/summary ${TOOLKIT})
set(MAY_USE_stats/compare stats/compare ${TOOLKIT})
set(MAY_USE_stats/sweep/estimate stats/sweep/estimate stats/math stats kernels console)
set(MAY_USE_stats/sweep/placed stats/sweep/placed ${MAY_USE_stats/sweep/estimate} stats/runs
    stats/system bench)
set(MAY_USE_stats/sweep/isolation stats/sweep/isolation ${MAY_USE_stats/sweep/placed})
set(MAY_USE_stats/sweep/user_code stats/sweep/user_code ${MAY_USE_stats/sweep/isolation}
    stats/text)
set(MAY_USE_stats/sweep/prediction stats/sweep/prediction ${MAY_USE_stats/sweep/user_code}
    stats/host)
# Output never sees the system: it makes text of the results.
set(MAY_USE_stats/sweep/output stats/sweep/output ${MAY_USE_stats/sweep/estimate} stats/cli
    stats/runs stats/record stats/host stats/text stats/math)
set(MAY_USE_stats/sweep stats/sweep stats/sweep/output stats/sweep/prediction
    ${MAY_USE_stats/sweep/prediction} ${TOOLKIT})
set(MAY_USE_stats/main stats/cli)
# The headers through which only stats/system reaches the operating system.
set(SYSTEM_HEADERS "getopt|unistd|sys/[a-z_/]+|signal|fcntl|poll|dirent|sched|spawn|linux/[a-z_/]+|ucontext|time|windows|shellapi|io|process|winternl")
# Each system's folder below stats/system keeps to itself: one system's code never reaches into
# another's, and the headers every system implements name none of them.
set(THE_CALL_UPWARD "platform/posix.cpp includes shell/shell.h")

# The layer of a path below src: its folder, with the companion's command folders and main apart.
function(layer_of path result)
  if(path MATCHES "^stats/sweep/(estimate|placed|isolation|user_code|prediction|output)/")
    set(${result} "stats/sweep/${CMAKE_MATCH_1}" PARENT_SCOPE)
  elseif(path MATCHES "^stats/(summary|sweep|system|compare|cli|text|math|host|record|runs)/")
    set(${result} "stats/${CMAKE_MATCH_1}" PARENT_SCOPE)
  elseif(path STREQUAL "stats/main.cpp")
    set(${result} "stats/main" PARENT_SCOPE)
  else()
    string(REGEX MATCH "^[^/]+" layer "${path}")
    set(${result} "${layer}" PARENT_SCOPE)
  endif()
endfunction()

get_filename_component(SOURCE_DIR ${SOURCE_DIR} ABSOLUTE)
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
  ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.S ${SOURCE_DIR}/*.inc)
set(failures "")
foreach(source IN LISTS sources)
  layer_of("${source}" layer)
  if(layer MATCHES "^stats" AND NOT layer STREQUAL "stats/system")
    file(STRINGS ${SOURCE_DIR}/${source} system_includes REGEX "^#include <(${SYSTEM_HEADERS})\\.h>")
    foreach(line IN LISTS system_includes)
      string(APPEND failures "${source}: ${line}, but only stats/system calls the operating system\n")
    endforeach()
  endif()
  file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^#include \"[a-z]+/")
  foreach(line IN LISTS includes)
    string(REGEX MATCH "\"([a-z]+/[^\"]+)\"" _ "${line}")
    set(included "${CMAKE_MATCH_1}")
    layer_of("${included}" used)
    set(use "${source} includes ${included}")
    if(NOT used IN_LIST MAY_USE_${layer} AND NOT use STREQUAL THE_CALL_UPWARD)
      string(APPEND failures "${use}, but ${layer} may use only: ${MAY_USE_${layer}}\n")
    endif()
    if(included MATCHES "^stats/system/(linux|windows)/")
      set(system_of_included "${CMAKE_MATCH_1}")
      if(NOT source MATCHES "^stats/system/${system_of_included}/")
        string(APPEND failures "${use}, but only stats/system/${system_of_included}/ uses its own files\n")
      endif()
    endif()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
