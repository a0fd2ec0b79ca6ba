// What absbench-stats --compare prints and writes.
#pragma once

#include <string>

#include "stats/compare/comparison.h"

namespace stats {

std::string FormatComparisonText(const Comparison& comparison);
std::string FormatComparisonMarkdown(const Comparison& comparison);
// A row per measure, pass, kernel and file.
std::string FormatComparisonCsv(const Comparison& comparison);
// Per measure and pass a panel: a bar per file for each kernel, with its uncertainty as a whisker.
std::string FormatComparisonSvg(const Comparison& comparison);

}  // namespace stats
