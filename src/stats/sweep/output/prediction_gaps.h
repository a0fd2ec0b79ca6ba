// Why a measured kernel has no prediction, said once under the tables rather than in every row.
#pragma once

#include <string>

#include "stats/sweep/estimate/predictions.h"

namespace stats {

// "model: no prediction (-) for spin (latency positive, latency negative): its path runs more
// than 1000 instructions", one line per kernel and reason; empty when every kernel has one.
std::string NoPredictionLines(const ModelPredictions& model);

}  // namespace stats
