#include "stats/system/containment.h"

namespace stats {

std::string ContainmentWords(const Containment& containment) {
  std::string words;
  for (const auto* walls : {&containment.once_placed, &containment.at_creation}) {
    for (const std::string& wall : *walls) words += (words.empty() ? "" : ", ") + wall;
  }
  return words + (containment.tools_walled_in ? "; the tools read only system files and their own"
                                              : "; the tools can read files");
}

}  // namespace stats
