#include "stats/system/containment.h"

#include "stats/system/child_roles.h"
#include "stats/system/tool_walls.h"
#include "stats/system/windows/child_walls.h"
#include "stats/system/windows/wine.h"

namespace stats {

// No filter of system calls on Windows (under Wine on Linux, one of the placed code's Linux calls
// only); its callers keep XMM6-XMM15 as well.
const char USER_KERNEL_WALLS_HELP[] =
    " It runs only in child processes, each in a job of its\n"
    "                    own, and is left out if it faults, hangs, changes RBX, RSI, RDI, RBP,\n"
    "                    R12-R15, XMM6-XMM15, the stack pointer, MXCSR or the x87 control\n"
    "                    word, or returns with the direction flag set, checked\n";

Containment ChildContainment() {
  // What the system grants is known once a child started: one that starts and ends at once
  // tells, when none has yet.
  if (!LastGrantedWalls().known) WhyThisProgramCannotStartItself();
  const GrantedWalls granted = LastGrantedWalls();
  Containment containment;
  containment.at_creation = {"job (one process, memory, CPU time)"};
  if (granted.token) containment.at_creation.push_back("low-integrity token");
  if (granted.mitigations) containment.at_creation.push_back("mitigation policies");
  // A child that cannot refuse them ends before any placed byte runs.
  if (WineOnLinux())
    containment.once_placed.push_back("Linux system calls from placed code refused");
  // Wine takes every other call and enforces none but the job's end with this process: said
  // after the walls it names, apart from the filter above, which is this program's own.
  const std::string wine = WineVersion();
  if (wine.empty()) {
    containment.once_placed.push_back("no new executable code");
  } else {
    containment.at_creation.push_back("no new executable code");
    containment.at_creation.push_back("of which Wine " + wine +
                                      " enforces only the job's end with this program");
  }
  containment.tools_walled_in = ToolsWalledIn();
  return containment;
}

}  // namespace stats
