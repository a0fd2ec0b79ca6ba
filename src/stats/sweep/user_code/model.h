// What a static model says the measured blocks cost: llvm-mca, given exactly the bytes of one copy
// (glue and kernel) as llvm-mc of the same LLVM disassembles them, run for many iterations so
// that a chain through the copies counts. It does not follow branches, so a kernel that jumps
// gets no prediction, with that reason.
#pragma once

#include <string>
#include <vector>

#include "stats/measure.h"
#include "stats/sweep/estimate/predictions.h"
#include "stats/sweep/estimate/procedure.h"

namespace stats {

struct ModelTools {
  std::string mca, mc;
};

// `given` (--mca), or the newest llvm-mca-NN on PATH, or llvm-mca; with the llvm-mc beside it.
// Empty tools, with `problem` saying what is missing and which package brings it.
ModelTools FindModelTools(const std::string& given, std::string& problem);

// Predictions for every kernel, pass and block measure in `measures` (call is skipped), on the
// model `cpu` ("native" for this host's).
ModelPredictions Predict(const ModelTools& tools, const std::string& cpu,
                         const std::vector<Procedure>& kernels,
                         const std::vector<SweepMeasure>& measures);

}  // namespace stats
