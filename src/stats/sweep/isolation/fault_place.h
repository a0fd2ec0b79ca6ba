// Where in the placed code a fault was, in the words that follow the fault's name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "stats/sweep/estimate/results.h"

namespace stats {

// Copies of placed code, and how messages name them: "the kernel", "its inline copy".
struct CodeRegion {
  std::string name;
  PlacedCopies copies;
};

// For a fault at `address`: " at byte 13 of the kernel", " at byte 2 of the kernel's copy 5 of
// 32", or, when no region holds it, " outside the kernel's bytes (at address 0x...)". Empty
// without regions.
std::string FaultPlace(uint64_t address, const std::vector<CodeRegion>& regions);

}  // namespace stats
