#include "stats/system/containment.h"

namespace stats {

Containment ChildContainment() {
  // The group ends whole with this process; the limits are of time, output, file size and
  // address space, and no new privileges. The filter is entered by the child after placement.
  return {{"process group", "limits"}, {"system-call filter"}};
}

}  // namespace stats
