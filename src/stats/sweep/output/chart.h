// The sweep's chart: per kernel and pass a box plot of its net cycles over the placements.
#pragma once

#include <string>

#include "stats/host/machine_facts.h"
#include "stats/sweep/estimate/results.h"

namespace stats {

std::string FormatSweepSvg(const SweepResult& sweep, const MachineFacts& machine);

}  // namespace stats
