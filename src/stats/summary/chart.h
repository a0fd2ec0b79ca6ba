// The summary's chart: per kernel one bar per pass at the median, a whisker from minimum to
// maximum.
#pragma once

#include <string>

#include "stats/figures.h"
#include "stats/machine_facts.h"

namespace stats {

std::string FormatSvg(const RunSet& runs, const Figures& figures, const MachineFacts& machine);

}  // namespace stats
