// The comparison as tables: for a terminal, for Markdown, and as CSV.
#pragma once

#include <string>

#include "stats/compare/comparison.h"

namespace stats {

std::string FormatComparisonText(const Comparison& comparison);
std::string FormatComparisonMarkdown(const Comparison& comparison);
// A row per measure, pass, kernel and file.
std::string FormatComparisonCsv(const Comparison& comparison);

}  // namespace stats
