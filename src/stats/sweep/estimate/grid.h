// The placements of a measure, as numbers only: the offsets within 64-byte blocks at which the
// loop (or a block) and the kernel start, which every figure of a placement is indexed by.
#pragma once

#include <vector>

#include "stats/measure.h"

namespace stats {

// Where the loop body (or a block) and the kernel (or a block's first copy) start, modulo 64.
struct Placement {
  int loop_offset;
  int kernel_offset;
};

// The call loop: its body at every 4th byte of a 64-byte block, the kernel at every 16th (64
// placements). A block of inline copies: its start at every byte, its first copy after the glue
// that leads it.
std::vector<Placement> GridFor(SweepMeasure measure);

}  // namespace stats
