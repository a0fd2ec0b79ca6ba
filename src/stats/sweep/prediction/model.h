// What a static model says the measured blocks cost: llvm-mca, given the path each pass runs
// through one copy (glue and kernel) as a straight sequence of the instructions that ran, as
// llvm-mc of the same LLVM disassembles them, over many iterations so that a chain through the
// copies counts. A jump is one instruction of the sequence; the redirect of a taken one is not
// charged.
#pragma once

#include <string>
#include <vector>

#include "stats/measure.h"
#include "stats/sweep/estimate/predictions.h"
#include "stats/sweep/estimate/procedure.h"
#include "stats/sweep/prediction/model_tools.h"

namespace stats {

// Predictions for every kernel, pass and block measure in `measures` (call is skipped), on the
// model `cpu` ("native" for this host's).
ModelPredictions Predict(const ModelTools& tools, const std::string& cpu,
                         const std::vector<Procedure>& kernels,
                         const std::vector<SweepMeasure>& measures);

}  // namespace stats
