// The comparison as a chart.
#pragma once

#include <string>

#include "stats/compare/comparison.h"

namespace stats {

// Per measure and pass a panel: a bar per file for each kernel, with its uncertainty as a whisker.
std::string FormatComparisonSvg(const Comparison& comparison);

}  // namespace stats
