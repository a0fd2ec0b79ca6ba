// What a child starts must end with it: each child leads a process group of its own, which is
// ended whole, and this process adopts whatever leaves the group, to end that too.
#pragma once

#include <sys/types.h>

namespace stats {

// From here on this process adopts the orphans of its descendants (a child subreaper), so that
// EndAdopted can find a process that left its group.
void AdoptOrphans();

// Sends `signal` to every process of the group the child `leader` leads.
void SignalGroup(pid_t leader, int signal);

// After the group of `leader` ended: kills its remaining members, and, when this process adopts
// orphans, kills and reaps every child it adopted.
void EndDescendants(pid_t leader);

}  // namespace stats
