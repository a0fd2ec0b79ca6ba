// The processor's name in the text of /proc/cpuinfo.
#pragma once

#include <istream>
#include <string>

namespace stats {

// The first "model name" of a /proc/cpuinfo text, or "unknown processor".
std::string ProcessorModelIn(std::istream& cpuinfo);

}  // namespace stats
