#include "stats/sweep/isolation/fault_place.h"

#include <cinttypes>
#include <cstdio>

namespace stats {

std::string FaultPlace(uint64_t address, const std::vector<CodeRegion>& regions) {
  // Without a region, nothing says whether the kernel's bytes held it.
  if (regions.empty()) return "";
  for (const CodeRegion& region : regions) {
    const PlacedCopies& placed = region.copies;
    if (address < placed.first || placed.length == 0) continue;
    const uint64_t from_first = address - placed.first;
    const uint64_t stride = placed.stride != 0 ? placed.stride : placed.length;
    const uint64_t copy = from_first / stride, byte = from_first % stride;
    if (copy >= placed.copies || byte >= placed.length) continue;
    std::string words = " at byte " + std::to_string(byte) + " of " + region.name;
    if (placed.copies > 1) {
      words += "'s copy " + std::to_string(copy + 1) + " of " + std::to_string(placed.copies);
    }
    return words;
  }
  char hex[40];
  std::snprintf(hex, sizeof hex, "0x%" PRIX64, address);
  return std::string(" outside the kernel's bytes (at address ") + hex + ")";
}

}  // namespace stats
