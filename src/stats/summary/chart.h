// The summary's chart: per kernel one bar per pass at the median, a whisker from minimum to
// maximum.
#pragma once

#include <string>

#include "stats/host/machine_facts.h"
#include "stats/runs/figures.h"

namespace stats {

std::string FormatSvg(const RunSet& runs, const Figures& figures, const MachineFacts& machine);

}  // namespace stats
