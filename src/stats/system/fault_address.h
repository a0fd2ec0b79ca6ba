// Where a child's fault happened, for its parent's words: the address of the faulting instruction,
// written to a word of a page it shares with the parent just before the fault ends it, so that the
// parent can say where in the placed code it was. The signal or code that ends it is unchanged.
#pragma once

#include <cstdint>

namespace stats {

// In a child: the faults that end it from now on store their instruction's address at `slot[0]`
// (0 too: a jump there), then 1 at `slot[1]`. A system that cannot tell leaves both as they are.
void RecordFaultAddressIn(int64_t* slot);

}  // namespace stats
