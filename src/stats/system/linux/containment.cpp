#include "stats/system/containment.h"

namespace stats {

Containment ChildContainment() {
  // The group ends whole with this process; the limits, of time and output, and no new
  // privileges, come with the child. Once its code is placed, the child bounds its address space
  // and files and enters the filter.
  return {{"process group", "limits"}, {"system-call filter"}};
}

}  // namespace stats
