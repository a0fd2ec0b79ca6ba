// The wall around a tool this program starts on what a user typed (the assembler, objdump,
// objcopy, llvm-mc, llvm-mca): it may read and run the system's programs and libraries, read and
// write its own folder, and touch no other file, whatever its input asks of it. On Linux that wall
// is Landlock, where the kernel has it.
#pragma once

#include <string>
#include <vector>

#include "stats/system/processes.h"

namespace stats {

// Whether tools are walled in here: false where the system has no such wall, or where
// ABSBENCH_NO_LANDLOCK=1 asks to run them as any program (to test that path on any host).
bool ToolsWalledIn();

// RunProgram behind the wall where there is one: `folder` (empty: none) is the one place it may
// read and write. A wall that cannot be put up is a tool that could not start (FAILED).
ChildRun RunWalledProgram(std::vector<std::string> words, const ChildLimits& limits,
                          bool search_path, const std::string& folder);

}  // namespace stats
