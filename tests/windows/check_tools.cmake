# cmake -DCASE=NAME -DSTATS=absbench-stats.exe -DEMULATOR=wine -DTOOLS=DIR -DWORK=DIR
#       -P check_tools.cmake
# --kernel-asm and --predict on Windows, their tools found on PATH: without them, refused with
# the tools named and where a Windows user gets them; with stand-ins for a mingw-w64 binutils and
# LLVM in TOOLS (WINEPATH puts them on the Windows PATH), a kernel assembled into a COFF object,
# what is not a kernel refused, and a whole sweep with the user's kernel and a prediction.
function(run_stats)
  execute_process(COMMAND ${EMULATOR} ${STATS} ${ARGN} WORKING_DIRECTORY ${WORK}
    INPUT_FILE /dev/null OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status
    TIMEOUT 300)
  set(status ${status} PARENT_SCOPE)
  set(output "${output}" PARENT_SCOPE)
  set(errors "${errors}" PARENT_SCOPE)
endfunction()

# The exit status and a pattern standard error must match.
function(expect status_wanted errors_wanted)
  if(NOT status EQUAL status_wanted OR NOT errors MATCHES "${errors_wanted}")
    message(FATAL_ERROR "exit status ${status}, not ${status_wanted}, or the errors do not match "
                        "'${errors_wanted}'\noutput:\n${output}\nerrors:\n${errors}")
  endif()
endfunction()

# WINEPATH comes before the Windows PATH that Wine makes.
function(put_on_path folder)
  string(REPLACE "/" "\\" folder "Z:${folder}")
  set(ENV{WINEPATH} "${folder}")
endfunction()

file(MAKE_DIRECTORY ${WORK})
if(CASE STREQUAL "missing")
  unset(ENV{WINEPATH})
  run_stats(--sweep --kernel-asm "k=add rax, rbx" --rounds 2)
  expect(2 "^absbench-stats: kernel k: --kernel-asm needs the assembler as, objdump and objcopy on PATH, and none of them is there: [^\n]*MSYS2's package mingw-w64-x86_64-binutils[^\n]*\n$")
  run_stats(--sweep --measure throughput --predict --rounds 2)
  expect(2 "^absbench-stats: --predict needs llvm-mca, and none is on PATH: [^\n]*mingw-w64-x86_64-llvm[^\n]*LLVM's release archive for Windows[^\n]*\n$")
  # One of the three missing is named alone.
  file(MAKE_DIRECTORY ${WORK}/two-tools)
  file(COPY_FILE ${TOOLS}/as.exe ${WORK}/two-tools/as.exe)
  file(COPY_FILE ${TOOLS}/objcopy.exe ${WORK}/two-tools/objcopy.exe)
  put_on_path(${WORK}/two-tools)
  run_stats(--sweep --kernel-asm "k=nop" --rounds 2)
  expect(2 "needs the assembler as, objdump and objcopy on PATH, and objdump is not there: ")
elseif(CASE STREQUAL "assembled")
  put_on_path(${TOOLS})
  # The Windows assembler writes COFF: bytes outside .text are still refused, and so is an
  # address only a linker could fill in.
  run_stats(--sweep --kernel-asm "k=add rax, rbx\n.data\n.byte 1" --rounds 2)
  expect(2 "^absbench-stats: kernel k: it puts bytes in .data, outside the kernel's section \\(.text\\)\n$")
  run_stats(--sweep --kernel-asm "k=call elsewhere" --rounds 2)
  expect(2 "^absbench-stats: kernel k: it refers to an address the assembler cannot know")
  # The assembler's own words, its file named as the kernel.
  run_stats(--sweep --kernel-asm "k=add rax, rbx\nbogus rax" --rounds 2)
  expect(2 "^absbench-stats: kernel k: k: Assembler messages:[^\n]*k:2: Error: no such instruction: `bogus rax'\n$")
elseif(CASE STREQUAL "sweep")
  put_on_path(${TOOLS})
  # The Windows assembler pads its section to sixteen bytes: cut where the kernel ends, the
  # kernel's bytes in the record are those of the same instruction given in hex.
  run_stats(--sweep --measure throughput --predict --kernel-asm "k=add rax, rbx" --kernel h=4801d8
            --rounds 2 --json ${WORK}/sweep.json)
  expect(0 "")
  file(READ ${WORK}/sweep.json record)
  string(REGEX MATCHALL "\"bytes\": \"4801d8[0-9a-f]*\"" both "${record}")
  list(REMOVE_DUPLICATES both)
  list(LENGTH both count)
  # Its row: the measured figures, then the predicted cycles and how far the measure is from them.
  if(NOT output MATCHES "\n +[0-9=]+  k \\(add rax, rbx\\) [^\n]* [0-9]+\\.[0-9][0-9] +[-+]?[0-9]+\\.[0-9][0-9]( [^\n]*)?\n"
     OR NOT count EQUAL 1)
    message(FATAL_ERROR "no prediction for k, or its bytes differ from h's:\n${output}\n${both}")
  endif()
else()
  message(FATAL_ERROR "no case ${CASE}")
endif()
