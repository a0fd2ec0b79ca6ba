# cmake -DPROGRAM=absbench -P check_shipped_code.cmake
# Reads the shipped executable (ELF or PE) as bytes, without running it: every kernel is there
# once, exactly as the table gives it, on a 16-byte boundary; there are fourteen copies of the
# loop body (the warm-up and one per procedure), each loading the shipped count before it and
# calling the empty procedure (warm-up and baseline) or its own kernel. Calls and alignment are
# read from file offsets, which keep the distances and the alignment of the code section.
set(TRAILER "90 90 90 90 c3 ")
set(KERNELS
  "abs0=8b c8 25 00 00 00 80 3d 00 00 00 80 8b c1 75 02 f7 d8"
  "abs1=a9 00 00 00 80 74 02 f7 d8"
  "abs2=0b c0 79 02 f7 d8"
  "abs3=8b c8 c1 f8 1f 03 c8 33 c8 8b c1"
  "abs4=8b c8 c1 f8 1f 03 c8 33 c8"
  "abs5=99 33 c2 2b c2"
  "abs6=3d 00 00 00 80 72 02 f7 d8"
  "abs7=8b c8 f7 d9 85 c0 0f 48 c1"
  "abs8=83 c0 00 79 02 f7 d8"
  "abs9=85 c0 79 02 f7 d8"
  "abs10=0f ba e0 1f 73 02 f7 d8"
  "abs11=8b d0 f7 da 0f 49 c2"
  "EmptyProcedure=")
list(TRANSFORM KERNELS APPEND " ")
set(COUNT_LOAD "be 00 ca 9a 3b") # mov esi, 1000000000

file(READ ${PROGRAM} hex HEX)
# One token per byte, each followed by a space, so that a match can only start at a byte.
string(REGEX REPLACE "(..)" "\\1 " code "${hex}")

set(failures "")
foreach(kernel IN LISTS KERNELS)
  string(REGEX MATCH "^([^=]+)= ?(.*)$" _ "${kernel}")
  set(name ${CMAKE_MATCH_1})
  set(bytes "${CMAKE_MATCH_2}${TRAILER}")
  # INT3 filler up to the next 16-byte boundary
  string(LENGTH "${bytes}" length)
  math(EXPR filler "(16 - (${length} / 3) % 16) % 16")
  string(REPEAT "cc " ${filler} padding)
  string(REGEX MATCHALL "${bytes}${padding}" found "${code}")
  list(LENGTH found copies)
  string(FIND "${code}" "${bytes}${padding}" at)
  math(EXPR offset "${at} / 3")
  math(EXPR misalignment "${offset} % 16")
  if(NOT copies EQUAL 1 OR NOT misalignment EQUAL 0)
    string(APPEND failures "${name}: ${copies} copies of its exact bytes, first at file offset "
                           "${offset}; expected one on a 16-byte boundary\n")
  endif()
  set(START_${offset} ${name})
endforeach()

set(LOOP_BODY "8b c3 e8 (..) (..) (..) (..) 83 ee 01 75 f4 ")
set(loop_count 0)
set(called "")
set(rest "${code}")
set(rest_at 0)
while(rest MATCHES "${LOOP_BODY}")
  # The leftmost match; its text's first occurrence is that match.
  set(loop "${CMAKE_MATCH_0}")
  math(EXPR displacement "((0x${CMAKE_MATCH_4}${CMAKE_MATCH_3}${CMAKE_MATCH_2}${CMAKE_MATCH_1} ^ 0x80000000) - 0x80000000)")
  string(FIND "${rest}" "${loop}" found_at)
  math(EXPR at "${rest_at} + ${found_at}")
  math(EXPR offset "${at} / 3")
  math(EXPR target "${offset} + 7 + ${displacement}")
  math(EXPR loop_count "${loop_count} + 1")
  if(DEFINED START_${target})
    list(APPEND called ${START_${target}})
  else()
    string(APPEND failures "the loop at file offset ${offset} calls offset ${target}, no kernel\n")
  endif()
  math(EXPR window_start "${at} - 48 * 3")
  string(SUBSTRING "${code}" ${window_start} 144 before)
  string(FIND "${before}" "${COUNT_LOAD}" count_at)
  if(count_at EQUAL -1)
    string(APPEND failures "the loop at file offset ${offset} does not load 1,000,000,000 "
                           "into ESI in the 48 bytes before it\n")
  endif()
  math(EXPR next "${found_at} + 36")
  string(SUBSTRING "${rest}" ${next} -1 rest)
  math(EXPR rest_at "${rest_at} + ${next}")
endwhile()
if(NOT loop_count EQUAL 14)
  string(APPEND failures "${loop_count} copies of the loop body; expected 14\n")
endif()
list(SORT called)
set(expected_calls EmptyProcedure EmptyProcedure abs0 abs1 abs10 abs11 abs2 abs3 abs4 abs5 abs6
                   abs7 abs8 abs9)
if(NOT called STREQUAL expected_calls)
  string(APPEND failures "the loops call ${called}; expected ${expected_calls}\n")
endif()

if(failures)
  message(FATAL_ERROR "${PROGRAM}:\n${failures}")
endif()
message(STATUS "${PROGRAM}: 12 kernels and the empty procedure byte for byte; 14 loops of "
               "1,000,000,000 calls, each calling its own procedure")
