// The sweep's CSV: a row per measure, pass, kernel and placement.
#pragma once

#include <string>

#include "stats/sweep/estimate/results.h"

namespace stats {

std::string FormatSweepCsv(const SweepResult& sweep);

}  // namespace stats
