# cmake -DEXE=absbench.exe -DEMULATOR=wine -DOUTPUT=report.txt -DKERNEL_LIST=kernel_list.h
#       -P check_report.cmake
# A whole run with standard input from /dev/null: exit code 0 and the report byte for byte.
execute_process(COMMAND ${EMULATOR} ${EXE}
  INPUT_FILE /dev/null OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
file(READ ${OUTPUT} report)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "exit status ${status}; output:\n${report}")
endif()

# CMake reads text with its CRs dropped, so the line ends are checked on the raw bytes: every CR
# is followed by LF, every LF follows a CR, and the output ends with CR LF.
file(READ ${OUTPUT} hex HEX)
string(REGEX MATCHALL ".." bytes "${hex}")
list(JOIN bytes " " bytes)
string(REPLACE "0d 0a" "CRLF" bytes "${bytes}")
if(bytes MATCHES "(^| )0[ad]( |$)" OR NOT bytes MATCHES "CRLF$")
  message(FATAL_ERROR "a line does not end with CR LF: ${bytes}")
endif()

# The kernels' words, in order, from the labels of the kernel list: KERNEL(abs5, " abs5 wobla\r\n")
file(READ ${KERNEL_LIST} kernel_list)
string(REGEX MATCHALL "KERNEL\\([a-z0-9_]+, \" [^\\\"]+" rows "${kernel_list}")
list(TRANSFORM rows REPLACE "^KERNEL\\([a-z0-9_]+, \" " "")

set(net_ms "-?[0-9]+")
set(expected "^----------------------\nempty procedure timing\n----------------------\n")
string(APPEND expected "[0-9]+ empty procedure\n")
foreach(pass positive negative)
  string(APPEND expected "-------------\n${pass} pass\n-------------\n")
  foreach(words IN LISTS rows)
    string(APPEND expected "${net_ms} ${words}\n")
  endforeach()
endforeach()
string(APPEND expected "Press any key to continue \\.\\.\\.\n$")

if(NOT report MATCHES "${expected}")
  message(FATAL_ERROR "the report does not have the expected form:\n${report}")
endif()
message(STATUS "report:\n${report}")
