#include "stats/system/containment.h"

#include "stats/system/tool_walls.h"

namespace stats {

Containment ChildContainment() {
  // The group ends whole with this process; the limits, of time and output, and no new
  // privileges, come with the child. Once its code is placed, the child bounds its address space
  // and files and enters the filter. The tools are walled in where the kernel has Landlock.
  return {{"process group", "limits"}, {"system-call filter"}, ToolsWalledIn()};
}

}  // namespace stats
