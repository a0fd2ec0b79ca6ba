#include "stats/system/containment.h"

#include "stats/system/tool_walls.h"

namespace stats {

const char USER_KERNEL_WALLS_HELP[] =
    " It runs only in child processes behind a system-call\n"
    "                    filter, and is left out if it faults, hangs, makes any system call,\n"
    "                    changes RBX, RSI, RDI, RBP, R12-R15, the stack pointer, MXCSR or the\n"
    "                    x87 control word, or returns with the direction flag set, checked\n";

Containment ChildContainment() {
  // The group ends whole with this process; the limits, of time and output, and no new
  // privileges, come with the child. Once its code is placed, the child bounds its address space
  // and files and enters the filter. The tools are walled in where the kernel has Landlock.
  return {{"process group", "limits"}, {"system-call filter"}, ToolsWalledIn()};
}

}  // namespace stats
