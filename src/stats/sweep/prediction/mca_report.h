// llvm-mca's --json report read back: the processor it modelled and each code region's cycles per
// iteration.
#pragma once

#include <map>
#include <string>

namespace stats {

struct McaReport {
  std::string cpu;                       // "znver4"
  std::string first_resource;            // "Zn4ALU0": shows whose scheduling model it used
  std::map<std::string, double> cycles;  // per iteration, by region name
};

// Empty with `report` filled, or what in `json` is not such a report. The text is the tool's
// output, already bounded by its limit.
std::string ReadMcaReport(const std::string& json, McaReport& report);

}  // namespace stats
