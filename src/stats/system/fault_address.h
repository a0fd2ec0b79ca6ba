// Where a child's fault happened, for its parent's words: the address of the faulting instruction,
// written to a word of a page it shares with the parent just before the fault ends it, so that the
// parent can say where in the placed code it was. The signal or code that ends it is unchanged.
#pragma once

#include <cstdint>
#include <optional>

namespace stats {

// In a child: the faults that end it from now on store their instruction's address at `slot[0]`
// (0 too: a jump there), then 1 at `slot[1]`. A system that cannot tell leaves both as they are.
void RecordFaultAddressIn(int64_t* slot);

// In the parent, once the child ended: the address a fault stored at `slot`, if one did.
inline std::optional<uint64_t> StoredFaultAddress(const int64_t* slot) {
  if (__atomic_load_n(&slot[1], __ATOMIC_ACQUIRE) != 1) return std::nullopt;
  return static_cast<uint64_t>(__atomic_load_n(&slot[0], __ATOMIC_ACQUIRE));
}

}  // namespace stats
